// Included ahead of every ICU source in the WebAssembly build. The wasm32
// libc++ has no threads, so it declares no std::mutex, std::unique_lock or
// std::condition_variable; ICU's common library uses them only to guard its
// lazy initialisation, which on a single thread needs no locking at all.
#pragma once
#ifdef __cplusplus
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#ifndef _LIBCPP_HAS_NO_THREADS
#error "this shim is for a libc++ without threads"
#endif

namespace std {

struct mutex {
    constexpr mutex() noexcept = default;
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() noexcept {}
    void unlock() noexcept {}
    bool try_lock() noexcept { return true; }
};

template <class M>
class unique_lock {
public:
    explicit unique_lock(M& m) : m_(m) { m_.lock(); }
    ~unique_lock() { m_.unlock(); }
    unique_lock(const unique_lock&) = delete;
    unique_lock& operator=(const unique_lock&) = delete;

private:
    M& m_;
};

struct condition_variable {
    // A wait could only end through another thread, and there is none.
    void wait(unique_lock<mutex>&) { std::abort(); }
    template <class Pred>
    void wait(unique_lock<mutex>& lock, Pred ready) {
        if (!ready()) wait(lock);
    }
    void notify_one() noexcept {}
    void notify_all() noexcept {}
};

}  // namespace std
#endif
