#include "library/loader_thread.h"

#include "library/directory_loader.h"
#include "platform/settings_store.h"

namespace quorvane {

LoaderThread::LoaderThread(DirectoryLoader& loader) : LoaderThread(loader, settings::Recurse()) {}

LoaderThread::LoaderThread(DirectoryLoader& loader, bool recurse) : loader_(loader) {
    thread_ = std::thread([this, recurse] {
        while (loader_.WaitAndScanNext(recurse)) {
        }
    });
}

LoaderThread::~LoaderThread() {
    loader_.Quit();
    if (thread_.joinable()) thread_.join();
}

}  // namespace quorvane
