#pragma once
// Plays the program's part against the simulated instrument: opens sessions, writes and
// reads, builds writer frames by hand and keeps the pauses a careful program keeps, moving
// the virtual clock instead of sleeping.

#include <cstdint>
#include <string>
#include <vector>

#include "sim_visa.h"

// Guards of our own: the writer accepts any, as long as each kind stays the same.
inline const uint8_t kTestResetGuard[6] = {'W', 'R', 'I', 'T', 'E', 'R'};
inline const uint8_t kTestCommandGuard[6] = {0x5A, 0xA5, 0x00, 0xFF, 0x12, 0x34};

inline std::string Frame(uint8_t command, uint32_t count, const uint8_t* guard = nullptr) {
    if (!guard) guard = command == 0x0A ? kTestResetGuard : kTestCommandGuard;
    std::string f(12, '\0');
    f[0] = static_cast<char>(0xAB);
    for (int i = 0; i < 4; ++i) f[1 + i] = static_cast<char>(count >> (24 - 8 * i));
    f[5] = static_cast<char>(command);
    for (int i = 0; i < 6; ++i) f[6 + i] = static_cast<char>(guard[i]);
    return f;
}

inline std::string LengthPayload(uint32_t k) {
    std::string p = std::to_string(k);
    p.resize(12, '\0');
    return p;
}

// A section as a firmware file holds it: four words, revision, payload, id, flag.
inline std::string TestSectionBytes(uint8_t id, const std::string& revision, size_t payload,
                                    uint32_t seed = 7) {
    uint32_t length = static_cast<uint32_t>(payload + 16);
    std::string s;
    auto word = [&](uint32_t w) {
        for (int i = 0; i < 4; ++i) s += static_cast<char>(w >> (24 - 8 * i));
    };
    word(0x4B344631u);
    word(length);
    word(length);
    s += revision.substr(0, 4);
    s.resize(16, '\0');
    word(0);
    for (size_t i = 0; i < payload; ++i) {
        seed = seed * 1103515245u + 12345u;
        s += static_cast<char>(seed >> 16);
    }
    s += static_cast<char>(id);
    s += static_cast<char>(1);
    return s;
}

class ProgramSide {
  public:
    explicit ProgramSide(SimScenario scenario) : visa(std::move(scenario), &clock) {
        visa.viOpenDefaultRM(&rm);
    }

    ViStatus Open(const std::string& resource) {
        ViStatus s = visa.viOpen(rm, resource.c_str(), VI_NULL, 1000, &session);
        if (s == VI_SUCCESS) visa.viSetAttribute(session, VI_ATTR_TMO_VALUE, 5000);
        return s;
    }
    ViStatus Open() { return Open(visa.instrument(0).resource()); }
    void Close() { visa.viClose(session); }

    ViStatus Write(const std::string& bytes) {
        ViUInt32 written = 0;
        return visa.viWrite(session, reinterpret_cast<const ViByte*>(bytes.data()),
                            static_cast<ViUInt32>(bytes.size()), &written);
    }
    // One read of at most 255 bytes; lastStatus keeps the status.
    std::string Read(ViUInt32 max = 255) {
        std::vector<ViByte> buffer(max + 1);
        ViUInt32 got = 0;
        lastStatus = visa.viRead(session, buffer.data(), max, &got);
        return std::string(buffer.begin(), buffer.begin() + got);
    }
    std::string Ask(const std::string& command) {
        Write(command);
        return Read();
    }
    // A frame followed by the pause the writer needs.
    void SendFrame(uint8_t command, uint32_t count) {
        Write(Frame(command, count));
        clock.Advance(10);
    }

    // The whole sequence for one section, as the program runs it. Returns the replies
    // read, in order, the progress lines included.
    std::vector<std::string> WriteSection(const std::string& section, uint8_t id) {
        std::vector<std::string> replies;
        uint32_t k = static_cast<uint32_t>(section.size() - 6);
        SendFrame(0x0A, 7);
        replies.push_back(Read());
        SendFrame(0x0C, 7 + static_cast<uint32_t>(section.size()));
        for (size_t sent = 0; sent < section.size(); sent += 1024) {
            Write(section.substr(sent, 1024));
            clock.Advance(25);
        }
        replies.push_back(Read());
        SendFrame(0x0D, 7);
        replies.push_back(Read());
        SendFrame(0x14, 8);
        Write(std::string(1, static_cast<char>(id)));
        replies.push_back(Read());
        SendFrame(0x07, 19);
        Write(LengthPayload(k));
        replies.push_back(Read());
        SendFrame(0x08, 7);
        replies.push_back(Read());
        SendFrame(0x15, 7);
        replies.push_back(Read());
        SendFrame(0x03, 7);
        for (;;) {
            std::string line = Read();
            if (lastStatus != VI_SUCCESS) break;
            replies.push_back(line);
            if (line.rfind("ERAS:", 0) != 0 && line.rfind("PROG:", 0) != 0) break;
        }
        return replies;
    }

    VirtualClock clock;
    SimVisa visa;
    ViSession rm = 0;
    ViSession session = 0;
    ViStatus lastStatus = 0;
};
