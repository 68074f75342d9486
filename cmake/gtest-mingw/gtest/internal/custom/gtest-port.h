// GoogleTest's customisation header, for the mingw builds: this folder comes before
// GoogleTest's own include folder, whose header of this name is empty.
//
// GoogleTest 1.12 (Debian 12) builds its Windows threading on a Notification made of
// std::mutex and std::condition_variable, which the C++ library of mingw's win32 thread
// model (GCC 12) does not have. The build keeps that thread model so that no image needs
// winpthread; this Notification waits on a Win32 event instead.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets threads wait until another says go; GoogleTest's thread tests use it.
class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify();
  void WaitForNotification();

 private:
  void* event_;  // a HANDLE: <windows.h> stays out of every file that includes GoogleTest
};

}  // namespace internal
}  // namespace testing

#endif  // GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
