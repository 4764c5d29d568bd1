#include "command_window.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "ui/control_ids.h"

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

}  // namespace

CommandWindow::CommandWindow(std::string serial, RunEvents* events,
                             std::function<void(uint32_t)> sleep)
    : serial_(std::move(serial)), events_(events), sleep_(std::move(sleep)) {}

void CommandWindow::Choose(const std::string& resource) {
    devices_.assign(1, resource);
    selected_ = 0;
}

void CommandWindow::SetControlText(int id, const std::string& text) {
    if (id == IDC_SECTION_COUNTER) {
        std::sscanf(text.c_str(), "%d / %d", &section_, &sections_);
        return;
    }
    if (id != IDC_LOG) return;
    // The log only grows between clears; what is new joins the unfinished line, and every
    // line end completes one.
    std::string added = text.compare(0, log_.size(), log_) == 0 ? text.substr(log_.size()) : text;
    if (text.empty()) pending_.clear();
    log_ = text;
    for (size_t end; (end = added.find("\r\n")) != std::string::npos; added.erase(0, end + 2)) {
        if (events_) events_->Log(serial_, pending_ + added.substr(0, end));
        pending_.clear();
    }
    pending_ += added;
}

std::string CommandWindow::GetControlText(int id) {
    return id == IDC_LOG ? log_ : std::string();
}

void CommandWindow::DeviceListReset() {
    devices_.clear();
    selected_ = -1;
}

int CommandWindow::DeviceListFind(const std::string& prefix) {
    for (size_t i = 0; i < devices_.size(); ++i)
        if (StartsWithIgnoringCase(devices_[i], prefix)) return static_cast<int>(i);
    return -1;
}

std::string CommandWindow::DeviceListText(int limit) {
    if (selected_ < 0 || selected_ >= static_cast<int>(devices_.size())) return std::string();
    return devices_[selected_].substr(0, limit > 0 ? limit - 1 : 0);
}

void CommandWindow::ProgressSetPos(int pos) {
    progressPos_ = pos;
    // The bar's range is three steps per sector and one more: the first step of each
    // sector comes when its bytes are sent, the others follow the flash write.
    const int sectors = (progressMax_ - 1) / 3;
    if (!events_ || sectors <= 0 || pos == 0) return;
    events_->Progress(serial_, section_, sections_, std::min(100, pos * 100 / sectors));
}

int CommandWindow::MessageBox(const std::string&, const std::string&, unsigned style, bool) {
    return (style & kMbYesNo) == kMbYesNo ? kIdYes : kIdOk;
}
