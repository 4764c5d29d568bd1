#include "visa/usbtmc/usbtmc_visa_library.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
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

// What the driver's errors mean to the caller; any other is VI_ERROR_IO.
struct ErrnoStatus {
    int error;
    ViStatus status;
};
constexpr ErrnoStatus kErrnoStatuses[] = {
    {ETIMEDOUT, VI_ERROR_TMO},
    // The instrument left: unplugged before the call, or its transfer cut off by the going.
    {ENODEV, VI_ERROR_CONN_LOST},
    {ENOENT, VI_ERROR_CONN_LOST},
    {ESHUTDOWN, VI_ERROR_CONN_LOST},
    {ECONNRESET, VI_ERROR_CONN_LOST},
    {EPROTO, VI_ERROR_CONN_LOST},
    {EILSEQ, VI_ERROR_CONN_LOST},
    {ETIME, VI_ERROR_CONN_LOST},
    // A stalled endpoint of an instrument still present: its halt is cleared afterwards.
    {EPIPE, VI_ERROR_IO},
};

ViStatus StatusOfErrno(int error) {
    for (const ErrnoStatus& entry : kErrnoStatuses)
        if (entry.error == error) return entry.status;
    return VI_ERROR_IO;
}

// How the driver refuses an ioctl it does not have: EBADRQC from its own handler, ENOTTY
// from anything in between.
bool IoctlMissing(int error) {
    return error == EBADRQC || error == ENOTTY;
}

// After a transfer that failed or timed out, the instrument's side of it is cleared so that
// its late reply reaches no later read, in this process or the next. A stalled endpoint
// (`halt` clears it) goes first: the clear itself reads the bulk-in endpoint.
void ClearAfterFailure(int fd, int error, unsigned long halt) {
    if (StatusOfErrno(error) == VI_ERROR_CONN_LOST) return;
    if (error == EPIPE) ::ioctl(fd, halt);
    ::ioctl(fd, USBTMC_IOCTL_CLEAR);
}

// bmTransferAttributes of the last transfer read: its end of message.
constexpr __u8 kEndOfMessage = 0x01;

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
    __u32 timeoutMs = static_cast<__u32>(
        std::clamp<ViAttrState>(attrValue, kUsbtmcMinTimeoutMs, kUsbtmcMaxTimeoutMs));
    // A driver without the ioctl (before Linux 4.19) keeps its own 5 s, the timeout the
    // program asks for anyway.
    if (::ioctl(session->fd.get(), USBTMC_IOCTL_SET_TIMEOUT, &timeoutMs) != 0 &&
        !IoctlMissing(errno))
        return StatusOfErrno(errno);
    return VI_SUCCESS;
}

ViStatus UsbtmcVisaLibrary::viRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    auto session = Find(vi);
    if (!session || session->kind != Session::Kind::kInstrument) return VI_ERROR_INV_OBJECT;
    const int fd = session->fd.get();
    ViUInt32 done = 0;
    ViStatus status = VI_SUCCESS_MAX_CNT;
    // Since Linux 4.20 a read() ends with one transfer of the instrument's, which need not
    // end its message: reads go on until the end of message or the count.
    while (done < cnt) {
        ssize_t got;
        do {
            got = ::read(fd, buf + done, cnt - done);
        } while (got < 0 && errno == EINTR);
        // Nothing read is the driver discarding a transfer (another request's tag, a
        // damaged header): an error, not an empty reply.
        const int error = got < 0 ? errno : got == 0 ? EIO : 0;
        if (error != 0) {
            status = StatusOfErrno(error);
            ClearAfterFailure(fd, error, USBTMC_IOCTL_CLEAR_IN_HALT);
            break;
        }
        done += static_cast<ViUInt32>(got);
        __u8 attributes = 0;
        if (::ioctl(fd, USBTMC_IOCTL_MSG_IN_ATTR, &attributes) != 0) {
            // Older drivers read on to the end of the message themselves.
            status = !IoctlMissing(errno) ? StatusOfErrno(errno)
                     : done == cnt        ? VI_SUCCESS_MAX_CNT
                                          : VI_SUCCESS;
            break;
        }
        if (attributes & kEndOfMessage) {
            status = VI_SUCCESS;
            break;
        }
    }
    if (retCnt) *retCnt = done;
    return status;
}

ViStatus UsbtmcVisaLibrary::viWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt,
                                    ViUInt32* retCnt) {
    auto session = Find(vi);
    if (!session || session->kind != Session::Kind::kInstrument) return VI_ERROR_INV_OBJECT;
    const int fd = session->fd.get();
    ViUInt32 sent = 0;
    ViStatus status = VI_SUCCESS;
    while (sent < cnt) {
        const ssize_t n = ::write(fd, buf + sent, cnt - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            status = StatusOfErrno(error);
            ClearAfterFailure(fd, error, USBTMC_IOCTL_CLEAR_OUT_HALT);
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
