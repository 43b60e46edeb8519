#pragma once
// A lock held for a scope, for libraries whose lock is a pair of C functions
// on a handle (std::lock_guard wants lock() and unlock() members).
template <typename Handle, void (*lock)(Handle*), void (*unlock)(Handle*)>
class Locked {
 public:
  explicit Locked(Handle* handle) : handle_(handle) { lock(handle_); }
  ~Locked() { unlock(handle_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  Handle* handle_;
};
