// A small bounded hand-over of decoded frames from the decoding thread to the encoding thread.
// Keeping it short bounds the memory the overlap costs.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "encoder/av_ptr.h"

namespace wm {

class FrameQueue {
public:
    explicit FrameQueue(size_t capacity) : capacity_(capacity) {}

    // Blocks while full. Returns false when the queue was aborted (the frame is dropped).
    bool push(FramePtr frame) {
        std::unique_lock lock(m_);
        notFull_.wait(lock, [&] { return aborted_ || q_.size() < capacity_; });
        if (aborted_) return false;
        q_.push_back(std::move(frame));
        notEmpty_.notify_one();
        return true;
    }
    // Blocks while empty. Returns nullptr at the end (closed and drained) or after an abort.
    FramePtr pop() {
        std::unique_lock lock(m_);
        notEmpty_.wait(lock, [&] { return aborted_ || closed_ || !q_.empty(); });
        if (aborted_ || q_.empty()) return nullptr;
        FramePtr f = std::move(q_.front());
        q_.pop_front();
        notFull_.notify_one();
        return f;
    }
    void close() {
        std::lock_guard lock(m_);
        closed_ = true;
        notEmpty_.notify_all();
    }
    void abort() {
        std::lock_guard lock(m_);
        aborted_ = true;
        notEmpty_.notify_all();
        notFull_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<FramePtr> q_;
    size_t capacity_;
    bool closed_ = false, aborted_ = false;
};

}  // namespace wm
