#pragma once
// CLI11's help, wrapped to a width: each line too long is broken between words, and its
// continuation lines are indented to where its text column starts (an option's or a
// command's description), so that the help reads on any terminal.

#include <CLI/CLI.hpp>
#include <string>

class WrappedHelp : public CLI::Formatter {
  public:
    explicit WrappedHelp(int columns) : columns_(columns) {}
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override;

  private:
    int columns_;
};

// `text` with every line wrapped to `columns`, as WrappedHelp does.
std::string WrapLines(const std::string& text, int columns);
