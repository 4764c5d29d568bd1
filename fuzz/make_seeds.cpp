// make_seeds DIR: writes the seed corpus of every fuzz target under DIR/<target>/, from
// the test firmware builder and typical instrument replies. fwtool adds packed files to
// DIR/firmware_file/ (see make_corpus.sh).

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "firmware_builder.h"

namespace {

int written = 0;

void Seed(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(dir);
    if (WriteFileBytes((dir / name).string(), bytes)) ++written;
}

void FirmwareSeeds(const std::filesystem::path& dir) {
    Seed(dir, "valid", ValidK4417F().Bytes());
    K4417FFile crlf;
    crlf.crlf = true;
    crlf.payloadSizes = {4, 8, 12, 16, 20, 0};
    Seed(dir, "valid_crlf", ValidK4417F(crlf).Bytes());
    FirmwareBuilder short_file = ValidK4417F({1, 2, 3, 4, 5, 6});
    short_file.DropTail(1);
    Seed(dir, "short", short_file.Bytes());
    FirmwareBuilder wrong_id = ValidK4417F({8, 8, 8, 8, 8, 8});
    wrong_id.Section(3).id = 8;
    Seed(dir, "wrong_id", wrong_id.Bytes());
    FirmwareBuilder header;
    header.Line("; comment")
        .Header("ImageRev", " 2.10.0 ")
        .Header("ModelName", "k4417f")
        .Header("UpdatedDescription", "Keeps its Case")
        .Header("UtilityRev", "1.0.6")
        .Header("RevsNotSupport", "1.0.0")
        .FileStart(false);
    Seed(dir, "header_only", header.Bytes());
    Seed(dir, "long_line", "#UpdatedDescription=" + std::string(1100, 'd') + "\n#FileStart\n");
}

void IdentitySeeds(const std::filesystem::path& dir) {
    const char* lines[] = {"ABC 3391 4417 02-5C-3E", "ABC 0X1A 100 02-5C-3E-11",
                           "ABC  4417 02-5C-3E",     "ABC 12ab 4417 02--3E",
                           "ABC 3391 4417",          "T 0x0123456789abcdef 0x1 1-2-3"};
    int i = 0;
    for (const char* line : lines) Seed(dir, "line" + std::to_string(i++), line);
}

// FuzzedDataProvider takes bytes from the front and numbers from the back.
void RevisionSeeds(const std::filesystem::path& dir) {
    const std::string revisions(
        "0100"
        "0101"
        "0102"
        "0100"
        "0100"
        "00\0\0",
        24);
    const char* replies[] = {"ZENTROVA CORP.,K4417F,TW00000001,0100..1..01....01.0100\n",
                             "WRITER,K4417F,TW00000001,0100..1..01....01.0100\n",
                             "zentrova corp.,k4417f,tw1,\n", ",,,", "WRITER,COUNTER"};
    int i = 0;
    for (const char* reply : replies)
        Seed(dir, "reply" + std::to_string(i++), revisions + reply + std::string("\x01\x00", 2));
}

void WriterSeeds(const std::filesystem::path& dir) {
    // Section fields, then reply kinds from the back: mostly right answers, some wrong.
    std::string body(64, 'S');
    Seed(dir, "small_section",
         body + std::string("\x00\x01\x02\x00\x00\x00\x03\x03\x00\x00"
                            "\x00\x01\x01\x01\x00\x28",
                            16));
    Seed(dir, "text_replies",
         body + "OKAY\nDATA IS THE LATEST UPDATE\nERASE NG\n" +
             std::string("\x07\x07\x07\x00\x02\x00\x00\x01\x01\x01\x00\x10", 12));
}

// Numbers come from the back: the instrument's mode first, then the faults.
void UpdateRunSeeds(const std::filesystem::path& dir) {
    Seed(dir, "clean_normal", std::string("\x00\x01\x00\x01", 4));
    Seed(dir, "clean_writer", std::string("\x00\x00\x01\x01\x00", 5));
    Seed(dir, "one_fault", std::string("NG\x00\x00\x05\x03\x01\x00\x01\x01\x00\x01", 12));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    FirmwareSeeds(root / "firmware_file");
    IdentitySeeds(root / "identity_line");
    RevisionSeeds(root / "revision_check");
    WriterSeeds(root / "writer_replies");
    UpdateRunSeeds(root / "update_run");
    std::printf("%d seed files under %s\n", written, root.string().c_str());
    return 0;
}
