// A function run on a thread of its own, joined when the owner goes. (mingw's win32 thread model
// has no std::thread.)
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "win/win32_handles.h"

namespace kivostrel::winbench {

class WorkerThread {
 public:
  explicit WorkerThread(std::function<void()> work) : work_(std::move(work)) {
    thread_.reset(::CreateThread(nullptr, 0, &WorkerThread::Run, this, 0, nullptr));
  }
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  bool started() const noexcept { return static_cast<bool>(thread_); }
  void Join() {
    if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<WorkerThread*>(self)->work_();
    return 0;
  }

  std::function<void()> work_;
  UniqueHandle thread_;
};

}  // namespace kivostrel::winbench
