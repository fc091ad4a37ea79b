#pragma once
// How the saver reports to the main window. Called on the saver thread; the desktop
// program turns each call into a queued call on its own thread.
#include "library/mp3_file_record.h"

namespace quorvane {

class SaveListener {
public:
    virtual ~SaveListener() = default;
    // The record has just been saved (or its save failed and was reported).
    virtual void Saved(const RecordPtr& record) = 0;
    // The saver has walked its list. Must not wait for the receiver: the receiver joins
    // the saver thread.
    virtual void SaveFinished() = 0;
};

}  // namespace quorvane
