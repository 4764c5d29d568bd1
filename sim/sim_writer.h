#pragma once
// The instrument's writer: takes command frames, their payloads and the section bytes,
// answers with short texts, computes its own checksum and programs the flash. Every
// protocol mistake it notices becomes a readable violation.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim_flash.h"
#include "sim_scenario.h"

class SimWriter {
  public:
    struct Io {
        std::deque<std::string>* replies;
        std::vector<std::string>* violations;
        std::function<void()> flashWritten;  // after every completed flash write
    };

    SimWriter(SimFlash& flash, const SimScenario& scenario, std::string resource, Io io);

    // Back to the state of a freshly started writer (the section count is kept).
    void Restart();
    // True when the next write is read as a frame (not a payload or section bytes).
    bool ExpectsFrame() const { return expect_ == Expect::kFrame; }
    // One viWrite's bytes.
    void Receive(const uint8_t* bytes, size_t count);

    // The pause the last write asks for before the next call, and what that write was.
    uint32_t PauseNeededMs() const { return pauseMs_; }
    const std::string& LastWriteName() const { return lastWrite_; }
    // Sections begun so far: each reset frame begins one.
    int section() const { return section_; }
    // The writer's checksum over the bytes loaded so far, with checksum length `k`.
    uint32_t Checksum(uint32_t k) const;

  private:
    enum class Stage {
        kIdle,
        kReset,
        kLoading,
        kLoaded,
        kEndLoaded,
        kSelected,
        kLengthSet,
        kQueried,
        kChecked
    };
    enum class Expect { kFrame, kSelectPayload, kLengthPayload, kData };

    void ReceiveFrame(const uint8_t* bytes, size_t count);
    void ReceiveData(const uint8_t* bytes, size_t count);
    void ReceiveSelectPayload(const uint8_t* bytes, size_t count);
    void ReceiveLengthPayload(const uint8_t* bytes, size_t count);
    bool CheckGuard(uint8_t command, const uint8_t* guard);
    void RequireStage(Stage wanted, const char* frame);
    void FlashWrite();
    // Queues `text` as the reply of `step`, unless a fault changes or silences it.
    void Reply(const char* step, std::string text);
    const SimFault* FaultAt(const char* step) const;
    void Violation(std::string text);

    SimFlash& flash_;
    const SimScenario& scenario_;
    std::string resource_;
    Io io_;

    Stage stage_ = Stage::kIdle;
    Expect expect_ = Expect::kFrame;
    int section_ = 0;
    uint32_t loadTotal_ = 0;
    std::vector<uint8_t> loaded_;
    uint8_t sectionId_ = 0;
    uint32_t checksumLength_ = 0;
    std::optional<std::array<uint8_t, 6>> resetGuard_, commandGuard_;
    uint32_t pauseMs_ = 0;
    std::string lastWrite_;
};
