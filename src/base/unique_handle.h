#pragma once
// One move-only owner for every kind of resource (files, library handles, VISA
// sessions, fonts, buffers). Each kind supplies a traits type (a handle type that needs
// more than its value to be closed, such as a VISA session, carries it in `type`):
//   struct Traits { using type = ...; static type invalid() noexcept; static void close(type)
//   noexcept; };

#include <utility>

template <typename Traits>
class UniqueHandle {
  public:
    using type = typename Traits::type;

    UniqueHandle() noexcept : value_(Traits::invalid()) {}
    explicit UniqueHandle(type value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Releases ownership without closing.
    type release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(type value = Traits::invalid()) noexcept {
        type old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }

    // For APIs that fill an out-parameter: closes what is held first.
    type* put() noexcept {
        reset();
        return &value_;
    }

  private:
    type value_;
};
