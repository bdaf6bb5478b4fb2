#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// While it lives, a helper thread presses OK on every message box of this process with the given
// caption and records the boxes' texts in the order they appeared.
class MessageBoxWatcher
{
public:
    // seen, when given, is called on the watcher's thread with each box's text before OK is
    // pressed.
    explicit MessageBoxWatcher(std::string caption,
                               std::function<void(const std::string&)> seen = nullptr);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<std::string> Texts() const;

private:
    void Run();

    std::string m_caption;
    std::function<void(const std::string&)> m_seen;
    std::atomic<bool> m_stop;
    mutable std::mutex m_textsLock;
    std::vector<std::string> m_texts;
    std::thread m_thread;
};
