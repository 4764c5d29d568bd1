#include "visa/usbtmc/usbtmc_visa_library.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/unique_fd.h"
#include "visa/resource_matcher.h"
#include "visa/usbtmc/usbtmc_devices.h"

struct UsbtmcVisaLibrary::Session {
    enum class Kind { kResourceManager, kInstrument, kFindList } kind;
    ViObject owner = 0;                // the resource manager it was opened through
    UniqueFd fd;                       // an instrument's node
    std::vector<std::string> pending;  // a find list's names not yet returned
};

namespace {

void CopyDescription(const std::string& name, ViChar* desc) {
    if (!desc) return;
    const size_t n = std::min<size_t>(name.size(), VI_FIND_BUFLEN - 1);
    std::memcpy(desc, name.data(), n);
    desc[n] = '\0';
}

ViStatus StatusOfErrno(int error) {
    switch (error) {
        case ETIMEDOUT:
            return VI_ERROR_TMO;
        case ENODEV:
        case ESHUTDOWN:
        case EPIPE:
            return VI_ERROR_CONN_LOST;
        default:
            return VI_ERROR_IO;
    }
}

}  // namespace

UsbtmcVisaLibrary::UsbtmcVisaLibrary() = default;
UsbtmcVisaLibrary::~UsbtmcVisaLibrary() = default;

std::shared_ptr<UsbtmcVisaLibrary::Session> UsbtmcVisaLibrary::Find(ViObject handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(handle);
    return it == sessions_.end() ? nullptr : it->second;
}

ViObject UsbtmcVisaLibrary::Add(std::shared_ptr<Session> session) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ViObject handle = next_++;
    sessions_.emplace(handle, std::move(session));
    return handle;
}

ViStatus UsbtmcVisaLibrary::viOpenDefaultRM(ViSession* vi) {
    if (!vi) return VI_ERROR_INV_OBJECT;
    auto session = std::make_shared<Session>();
    session->kind = Session::Kind::kResourceManager;
    *vi = Add(std::move(session));
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viFindRsrc(ViSession sesn, const ViChar* expr, ViFindList* findList,
                                       ViUInt32* retCnt, ViChar* desc) {
    auto rm = Find(sesn);
    if (!rm || rm->kind != Session::Kind::kResourceManager) return VI_ERROR_INV_OBJECT;
    if (!expr) return VI_ERROR_INV_EXPR;
    std::vector<std::string> matches;
    for (const UsbtmcDevice& device : ListUsbtmcDevices()) {
        const ResourceMatch match = MatchResourceExpression(expr, device.resource);
        if (match == ResourceMatch::kMalformed) return VI_ERROR_INV_EXPR;
        if (match == ResourceMatch::kMatch) matches.push_back(device.resource);
    }
    if (retCnt) *retCnt = static_cast<ViUInt32>(matches.size());
    if (matches.empty()) return VI_ERROR_RSRC_NFOUND;
    CopyDescription(matches.front(), desc);
    if (findList) {
        auto list = std::make_shared<Session>();
        list->kind = Session::Kind::kFindList;
        list->owner = sesn;
        list->pending.assign(matches.begin() + 1, matches.end());
        *findList = Add(std::move(list));
    }
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viFindNext(ViFindList findList, ViChar* desc) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(findList);
    if (it == sessions_.end() || it->second->kind != Session::Kind::kFindList)
        return VI_ERROR_INV_OBJECT;
    std::vector<std::string>& pending = it->second->pending;
    if (pending.empty()) return VI_ERROR_RSRC_NFOUND;
    CopyDescription(pending.front(), desc);
    pending.erase(pending.begin());
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viOpen(ViSession sesn, const ViChar* name, ViAccessMode, ViUInt32,
                                   ViSession* vi) {
    auto rm = Find(sesn);
    if (!rm || rm->kind != Session::Kind::kResourceManager) return VI_ERROR_INV_OBJECT;
    if (!name || !vi) return VI_ERROR_RSRC_NFOUND;
    const std::string node = UsbtmcNodeOf(name);
    if (node.empty()) return VI_ERROR_RSRC_NFOUND;
    UniqueFd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        // Gone between the search and the open: as absent as if never found.
        if (errno == ENOENT || errno == ENODEV || errno == ENXIO) return VI_ERROR_RSRC_NFOUND;
        return VI_ERROR_SYSTEM_ERROR;
    }
    auto session = std::make_shared<Session>();
    session->kind = Session::Kind::kInstrument;
    session->owner = sesn;
    session->fd = std::move(fd);
    *vi = Add(std::move(session));
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viClose(ViObject vi) {
    // Sessions leave the table here; a read still running on another thread keeps its
    // node open until it returns.
    std::vector<std::shared_ptr<Session>> closing;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(vi);
    if (it == sessions_.end()) return VI_ERROR_INV_OBJECT;
    if (it->second->kind == Session::Kind::kResourceManager) {
        // Closing a resource manager closes everything opened through it.
        for (auto child = sessions_.begin(); child != sessions_.end();) {
            if (child->second->owner == vi) {
                closing.push_back(child->second);
                child = sessions_.erase(child);
            } else {
                ++child;
            }
        }
    }
    sessions_.erase(vi);
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
    auto session = Find(vi);
    if (!session || session->kind != Session::Kind::kInstrument) return VI_ERROR_INV_OBJECT;
    if (attrName != VI_ATTR_TMO_VALUE) return VI_ERROR_NSUP_ATTR;
    __u32 timeoutMs = attrValue < kUsbtmcMinTimeoutMs ? kUsbtmcMinTimeoutMs
                      : attrValue > 0xFFFFFFFFu       ? 0xFFFFFFFFu
                                                      : static_cast<__u32>(attrValue);
    // A kernel before 4.19 knows no such ioctl: its reads keep the driver's own 5 s, the
    // timeout the program asks for anyway.
    if (::ioctl(session->fd.get(), USBTMC_IOCTL_SET_TIMEOUT, &timeoutMs) != 0 && errno != ENOTTY)
        return StatusOfErrno(errno);
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    auto session = Find(vi);
    if (!session || session->kind != Session::Kind::kInstrument) return VI_ERROR_INV_OBJECT;
    if (retCnt) *retCnt = 0;
    ssize_t got;
    do {
        got = ::read(session->fd.get(), buf, cnt);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return StatusOfErrno(errno);
    if (retCnt) *retCnt = static_cast<ViUInt32>(got);
    // The driver ends a read at the end of the message or at the count: a full buffer may
    // have more behind it.
    return cnt > 0 && static_cast<ViUInt32>(got) == cnt ? VI_SUCCESS_MAX_CNT : VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt,
                                    ViUInt32* retCnt) {
    auto session = Find(vi);
    if (!session || session->kind != Session::Kind::kInstrument) return VI_ERROR_INV_OBJECT;
    ViUInt32 sent = 0;
    ViStatus status = VI_SUCCESS;
    while (sent < cnt) {
        const ssize_t n = ::write(session->fd.get(), buf + sent, cnt - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            status = n < 0 ? StatusOfErrno(errno) : VI_ERROR_IO;
            break;
        }
        sent += static_cast<ViUInt32>(n);
    }
    if (retCnt) *retCnt = sent;
    return status;
}

std::string UsbtmcVisaLibrary::AccessProblem(const std::string& resource) {
    const std::string node = UsbtmcNodeOf(resource);
    return node.empty() ? std::string() : UsbtmcAccessProblem(node);
}

std::string UsbtmcAccessProblem(const std::string& node) {
    if (::access(node.c_str(), R_OK | W_OK) == 0 || (errno != EACCES && errno != EPERM))
        return std::string();
    return node + ": permission denied; the udev rule " + kUsbtmcUdevRule +
           " gives it to the plugdev group and to the user at the seat (install fwtool's "
           "package or that rule, then plug the instrument in again)";
}
