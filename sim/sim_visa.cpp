#include "sim_visa.h"

#include <cstring>
#include <map>
#include <mutex>

#include "base/ascii.h"
#include "sim_instrument.h"
#include "visa/resource_matcher.h"

namespace {

constexpr ViStatus kWarnNullObject = 0x3FFF0082;  // viClose of session 0
constexpr uint32_t kDefaultTimeoutMs = 2000;

bool SameName(const std::string& a, const std::string& b) {
    return EqualIgnoringCase(a, b);
}

void CopyDescription(const std::string& name, ViChar* desc) {
    if (!desc) return;
    size_t n = std::min<size_t>(name.size(), VI_FIND_BUFLEN - 1);
    std::memcpy(desc, name.data(), n);
    desc[n] = '\0';
}

}  // namespace

struct SimVisa::Impl {
    enum class Kind { kResourceManager, kInstrument, kFindList };
    struct Session {
        explicit Session(Kind k, ViSession opener = 0) : kind(k), owner(opener) {}
        Kind kind;
        ViSession owner;  // the resource manager it was opened through
        size_t instrument = 0;
        uint32_t timeoutMs = kDefaultTimeoutMs;
        std::vector<std::string> pending;  // find list: matches not yet returned
    };
    // An instrument with the lock that its calls hold from the moment they reach it.
    struct Slot {
        explicit Slot(std::unique_ptr<SimInstrument> i) : instrument(std::move(i)) {}
        std::unique_ptr<SimInstrument> instrument;
        std::mutex mutex;
        size_t violationsReported = 0;
    };

    SimScenario scenario;
    VirtualClock ownClock;
    SimClock* clock;
    std::vector<std::unique_ptr<Slot>> slots;  // the list itself never changes

    // Guards what follows; held only for short bookkeeping, never across a wait, and
    // taken after an instrument's lock, never before it.
    std::mutex mutex;
    std::map<ViObject, Session> sessions;
    ViObject nextHandle = 0x1001;
    std::vector<SimCall> calls;
    std::map<std::string, int> callCounts;
    SimRecorder* recorder = nullptr;

    // The call being made: counted when it begins, recorded when it ends.
    struct Call {
        Impl& impl;
        SimCall record;
        const SimFault* fault = nullptr;
        Slot* slot = nullptr;
        std::unique_lock<std::mutex> instrumentLock;

        Call(Impl& i, const char* op) : impl(i) {
            record.op = op;
            record.timeMs = impl.clock->NowMs();
            std::lock_guard<std::mutex> lock(impl.mutex);
            record.nth = ++impl.callCounts[op];
            for (const SimFault& f : impl.scenario.faults)
                if (f.callLevel() && f.op == op && f.nth == record.nth) fault = &f;
        }
        // Takes the instrument for the rest of the call; the call's time is read again
        // once it has the instrument, after any wait for another call to end.
        SimInstrument& Reach(size_t index) {
            slot = impl.slots[index].get();
            instrumentLock = std::unique_lock<std::mutex>(slot->mutex);
            record.timeMs = impl.clock->NowMs();
            record.resource = slot->instrument->resource();
            return *slot->instrument;
        }
        bool Fails() const { return fault && fault->action == "fail"; }
        ViStatus FailStatus() const { return fault->status ? fault->status : VI_ERROR_IO; }
        bool TimesOut() const { return fault && fault->action == "timeout"; }
        bool Silent() const { return fault && fault->action == "silent"; }
        void Bytes(const uint8_t* p, size_t n) {
            record.byteCount = static_cast<uint32_t>(n);
            size_t keep = n <= kSimRecordedWhole ? n : kSimRecordedHead;
            record.bytes.assign(p, p + keep);
        }
        ViStatus Done(ViStatus status) {
            record.status = status;
            std::lock_guard<std::mutex> lock(impl.mutex);
            impl.calls.push_back(record);
            impl.Report(record, slot);
            return status;
        }
    };

    // A copy of the session, made under the lock: another thread may close it meanwhile.
    bool Lookup(ViObject handle, Kind kind, Session& out) {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = sessions.find(handle);
        if (it == sessions.end() || it->second.kind != kind) return false;
        out = it->second;
        return true;
    }

    ViObject Add(Session session) {
        std::lock_guard<std::mutex> lock(mutex);
        ViObject handle = nextHandle++;
        sessions.emplace(handle, std::move(session));
        return handle;
    }

    // Under `mutex`, with the call's instrument (if any) held.
    void Report(const SimCall& call, Slot* slot) {
        if (!recorder) return;
        recorder->OnCall(call);
        if (!slot) return;
        const auto& list = slot->instrument->violations();
        for (; slot->violationsReported < list.size(); ++slot->violationsReported)
            recorder->OnViolation(slot->instrument->serial() + ": " +
                                  list[slot->violationsReported]);
    }
};

SimVisa::SimVisa(SimScenario scenario, SimClock* clock) : impl_(new Impl) {
    impl_->scenario = std::move(scenario);
    impl_->clock = clock ? clock : &impl_->ownClock;
    std::map<std::string, std::string> flashOwners;  // flash file -> the serial keeping it
    for (SimInstrumentSpec setup : impl_->scenario.instruments) {
        // Two instruments saving into one file would overwrite each other's flash.
        std::string sharedWith;
        if (!setup.flashFile.empty()) {
            auto owner = flashOwners.emplace(setup.flashFile, SimSerialOf(setup.resource));
            if (!owner.second) {
                sharedWith = owner.first->second;
                setup.flashFile.clear();
            }
        }
        auto instrument = std::make_unique<SimInstrument>(setup, impl_->scenario);
        if (!sharedWith.empty())
            instrument->AddViolation("flash file already kept by " + sharedWith +
                                     ": this flash is kept in memory only");
        impl_->slots.push_back(std::make_unique<Impl::Slot>(std::move(instrument)));
    }
}

SimVisa::~SimVisa() = default;

ViStatus SimVisa::viOpenDefaultRM(ViSession* vi) {
    Impl::Call call(*impl_, "viOpenDefaultRM");
    if (call.Fails()) return call.Done(call.FailStatus());
    if (call.TimesOut()) return call.Done(VI_ERROR_TMO);
    if (!vi) return call.Done(VI_ERROR_INV_OBJECT);
    *vi = impl_->Add(Impl::Session(Impl::Kind::kResourceManager));
    return call.Done(VI_SUCCESS);
}

ViStatus SimVisa::viFindRsrc(ViSession sesn, const ViChar* expr, ViFindList* findList,
                             ViUInt32* retCnt, ViChar* desc) {
    Impl::Call call(*impl_, "viFindRsrc");
    if (expr) call.Bytes(reinterpret_cast<const uint8_t*>(expr), std::strlen(expr));
    if (call.Fails()) return call.Done(call.FailStatus());
    if (call.TimesOut()) return call.Done(VI_ERROR_TMO);
    Impl::Session rm(Impl::Kind::kResourceManager);
    if (!impl_->Lookup(sesn, Impl::Kind::kResourceManager, rm))
        return call.Done(VI_ERROR_INV_OBJECT);
    if (!expr) return call.Done(VI_ERROR_INV_EXPR);

    // Resource names never change: matching them reaches no instrument.
    std::vector<std::string> matches;
    for (const auto& slot : impl_->slots) {
        const std::string& resource = slot->instrument->resource();
        ResourceMatch m = MatchResourceExpression(expr, resource);
        if (m == ResourceMatch::kMalformed) return call.Done(VI_ERROR_INV_EXPR);
        if (m == ResourceMatch::kMatch) matches.push_back(resource);
    }
    if (retCnt) *retCnt = static_cast<ViUInt32>(matches.size());
    if (matches.empty()) return call.Done(VI_ERROR_RSRC_NFOUND);

    CopyDescription(matches.front(), desc);
    call.record.resource = matches.front();
    if (findList) {
        Impl::Session list(Impl::Kind::kFindList, sesn);
        list.pending.assign(matches.begin() + 1, matches.end());
        *findList = impl_->Add(std::move(list));
    }
    return call.Done(VI_SUCCESS);
}

ViStatus SimVisa::viFindNext(ViFindList findList, ViChar* desc) {
    Impl::Call call(*impl_, "viFindNext");
    if (call.Fails()) return call.Done(call.FailStatus());
    if (call.TimesOut()) return call.Done(VI_ERROR_TMO);
    ViStatus status = VI_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        auto it = impl_->sessions.find(findList);
        if (it == impl_->sessions.end() || it->second.kind != Impl::Kind::kFindList) {
            status = VI_ERROR_INV_OBJECT;
        } else if (it->second.pending.empty()) {
            status = VI_ERROR_RSRC_NFOUND;
        } else {
            call.record.resource = it->second.pending.front();
            it->second.pending.erase(it->second.pending.begin());
        }
    }
    if (status == VI_SUCCESS) CopyDescription(call.record.resource, desc);
    return call.Done(status);
}

ViStatus SimVisa::viOpen(ViSession sesn, const ViChar* name, ViAccessMode, ViUInt32 timeout,
                         ViSession* vi) {
    Impl::Call call(*impl_, "viOpen");
    call.record.arg = timeout;
    if (name) call.record.resource = name;
    if (call.Fails()) return call.Done(call.FailStatus());
    if (call.TimesOut()) {
        impl_->clock->Wait(timeout);
        return call.Done(VI_ERROR_TMO);
    }
    Impl::Session rm(Impl::Kind::kResourceManager);
    if (!impl_->Lookup(sesn, Impl::Kind::kResourceManager, rm))
        return call.Done(VI_ERROR_INV_OBJECT);
    if (!name || !vi) return call.Done(VI_ERROR_RSRC_NFOUND);
    for (size_t i = 0; i < impl_->slots.size(); ++i) {
        if (!SameName(impl_->slots[i]->instrument->resource(), name)) continue;
        call.Reach(i).Open();
        Impl::Session session(Impl::Kind::kInstrument, sesn);
        session.instrument = i;
        *vi = impl_->Add(std::move(session));
        return call.Done(VI_SUCCESS);
    }
    return call.Done(VI_ERROR_RSRC_NFOUND);
}

ViStatus SimVisa::viClose(ViObject vi) {
    Impl::Call call(*impl_, "viClose");
    if (call.Fails()) return call.Done(call.FailStatus());
    if (call.TimesOut()) return call.Done(VI_ERROR_TMO);
    if (vi == 0) return call.Done(kWarnNullObject);
    std::unique_lock<std::mutex> lock(impl_->mutex);
    auto it = impl_->sessions.find(vi);
    if (it == impl_->sessions.end()) {
        lock.unlock();
        return call.Done(VI_ERROR_INV_OBJECT);
    }
    if (it->second.kind == Impl::Kind::kInstrument)
        call.record.resource = impl_->slots[it->second.instrument]->instrument->resource();
    if (it->second.kind == Impl::Kind::kResourceManager) {
        // Closing a resource manager closes everything opened through it.
        for (auto child = impl_->sessions.begin(); child != impl_->sessions.end();) {
            if (child->second.owner == vi)
                child = impl_->sessions.erase(child);
            else
                ++child;
        }
    }
    impl_->sessions.erase(vi);
    lock.unlock();
    return call.Done(VI_SUCCESS);
}

ViStatus SimVisa::viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
    Impl::Call call(*impl_, "viSetAttribute");
    call.record.arg = attrValue;
    if (call.Fails()) return call.Done(call.FailStatus());
    if (call.TimesOut()) return call.Done(VI_ERROR_TMO);
    ViStatus status = VI_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        auto it = impl_->sessions.find(vi);
        if (it == impl_->sessions.end()) {
            status = VI_ERROR_INV_OBJECT;
        } else {
            Impl::Session& session = it->second;
            if (session.kind == Impl::Kind::kInstrument)
                call.record.resource = impl_->slots[session.instrument]->instrument->resource();
            if (attrName != VI_ATTR_TMO_VALUE)
                status = VI_ERROR_NSUP_ATTR;
            else
                session.timeoutMs = static_cast<uint32_t>(attrValue);
        }
    }
    return call.Done(status);
}

ViStatus SimVisa::viRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    Impl::Call call(*impl_, "viRead");
    call.record.arg = cnt;
    if (call.Fails()) return call.Done(call.FailStatus());
    Impl::Session session(Impl::Kind::kInstrument);
    if (!impl_->Lookup(vi, Impl::Kind::kInstrument, session)) return call.Done(VI_ERROR_INV_OBJECT);
    SimInstrument& instrument = call.Reach(session.instrument);
    if (retCnt) *retCnt = 0;
    if (call.TimesOut()) {
        impl_->clock->Wait(session.timeoutMs);
        return call.Done(VI_ERROR_TMO);
    }
    instrument.CheckPause(call.record.timeMs);
    if (call.Silent()) {
        instrument.DropReply();
        impl_->clock->Wait(session.timeoutMs);
        return call.Done(VI_ERROR_TMO);
    }

    std::string reply;
    bool rest = false;
    if (call.fault && call.fault->action == "reply") {
        instrument.DropReply();
        reply = call.fault->text.substr(0, cnt);
        rest = call.fault->text.size() > cnt;
    } else if (instrument.HasReply()) {
        reply = instrument.TakeReply(cnt, &rest);
    } else {
        // Nothing to say: the read gives up after the session timeout.
        impl_->clock->Wait(session.timeoutMs);
        return call.Done(VI_ERROR_TMO);
    }
    if (buf && !reply.empty()) std::memcpy(buf, reply.data(), reply.size());
    if (retCnt) *retCnt = static_cast<ViUInt32>(reply.size());
    call.Bytes(reinterpret_cast<const uint8_t*>(reply.data()), reply.size());
    // A reply that fills the maximum ends with the count, not with its end of message.
    bool full = rest || (cnt > 0 && reply.size() == cnt);
    return call.Done(full ? VI_SUCCESS_MAX_CNT : VI_SUCCESS);
}

ViStatus SimVisa::viWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    Impl::Call call(*impl_, "viWrite");
    call.record.arg = cnt;
    if (buf) call.Bytes(buf, cnt);
    if (call.Fails()) return call.Done(call.FailStatus());
    Impl::Session session(Impl::Kind::kInstrument);
    if (!impl_->Lookup(vi, Impl::Kind::kInstrument, session)) return call.Done(VI_ERROR_INV_OBJECT);
    SimInstrument& instrument = call.Reach(session.instrument);
    if (call.TimesOut()) {
        impl_->clock->Wait(session.timeoutMs);
        if (retCnt) *retCnt = 0;
        return call.Done(VI_ERROR_TMO);
    }
    if (!buf && cnt) return call.Done(VI_ERROR_INV_OBJECT);
    instrument.CheckPause(call.record.timeMs);
    if (!call.Silent()) instrument.Receive(buf, cnt, call.record.timeMs);
    if (retCnt) *retCnt = cnt;
    return call.Done(VI_SUCCESS);
}

const std::vector<SimCall>& SimVisa::calls() const {
    return impl_->calls;
}

std::vector<SimCall> SimVisa::callsOf(const std::string& op) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    std::vector<SimCall> out;
    for (const SimCall& c : impl_->calls)
        if (c.op == op) out.push_back(c);
    return out;
}

std::vector<std::string> SimVisa::violations() const {
    std::vector<std::string> out;
    for (const auto& slot : impl_->slots) {
        std::lock_guard<std::mutex> lock(slot->mutex);
        for (const std::string& v : slot->instrument->violations())
            out.push_back(slot->instrument->serial() + ": " + v);
    }
    return out;
}

void SimVisa::setRecorder(SimRecorder* recorder) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->recorder = recorder;
}

SimInstrument& SimVisa::instrument(size_t index) {
    return *impl_->slots.at(index)->instrument;
}

size_t SimVisa::instrumentCount() const {
    return impl_->slots.size();
}

SimClock& SimVisa::clock() {
    return *impl_->clock;
}

int SimVisa::openSessionCount() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    int n = 0;
    for (const auto& entry : impl_->sessions)
        if (entry.second.kind != Impl::Kind::kResourceManager) ++n;
    return n;
}
