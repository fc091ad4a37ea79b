#pragma once
// The loader thread: for the life of the main window it scans whatever the
// DirectoryLoader has queued and sleeps while nothing is.
#include <thread>

namespace quorvane {

class DirectoryLoader;

class LoaderThread {
public:
    // Reads "Recurse" now: the setting takes effect when the thread starts.
    explicit LoaderThread(DirectoryLoader& loader);
    LoaderThread(DirectoryLoader& loader, bool recurse);
    // Stops the scan after its current entry and waits for the thread. A message box
    // the thread is showing must be answered first: a window destroys this object while
    // its event loop can still show (or its prompts have begun to dismiss) such boxes.
    ~LoaderThread();
    LoaderThread(const LoaderThread&) = delete;
    LoaderThread& operator=(const LoaderThread&) = delete;

private:
    DirectoryLoader& loader_;
    std::thread thread_;
};

}  // namespace quorvane
