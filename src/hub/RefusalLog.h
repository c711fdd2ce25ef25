#pragma once

#include "engine/timing/IntervalTimer.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>

namespace orva::hub {

// One refusal of a peer, as the log tells it.
struct Refusal
{
    QString subject; // the projector's name, or empty for the hub's own doors
    QString peer;    // who was refused, as the summary names it: "share 127.0.0.1:49188"
    QString what;    // what was refused, in the plural: "frames", "connections"
    QString reason;  // why, in a few words: "not ASCII"
    QString text;    // the line a first refusal writes, after the subject
};

// Refusals aggregated per (subject, peer, reason), so that a flood of them
// writes a bounded number of lines while every peer refused still shows:
//  - the first refusal of a key is written in full (Refusal::text) and
//    opens a window of WindowMs on the clock;
//  - further ones in the window are counted; when the window ends with a
//    count, one summary line is written ("refused 12345 more frames in
//    10 s: not ASCII") and the next window opens; a window that ends with
//    none leaves the key idle, and its next refusal is a first one again;
//  - at most maxKeys keys are followed at once (an idle one makes room);
//    refusals of any key beyond them are counted together and summed up in
//    one line per window.
// So a peer that never stops costs two lines, then one every 10 s.
// Accepted requests never come here: they are logged one by one.
class RefusalLog
{
public:
    using Write = std::function<void(const QString& subject, const QString& text)>;

    static constexpr int WindowMs = 10'000;
    static constexpr int DefaultMaxKeys = 256;

    RefusalLog(Clock& clock, Write write, int maxKeys = DefaultMaxKeys);
    ~RefusalLog();
    RefusalLog(const RefusalLog&) = delete;
    RefusalLog& operator=(const RefusalLog&) = delete;

    void refuse(const Refusal& refusal);

private:
    struct Key;
    Key* keyFor(const Refusal& refusal);
    void windowEnded(Key& key);

    Clock& m_clock;
    Write m_write;
    int m_maxKeys;
    std::map<QString, std::unique_ptr<Key>> m_keys;
    std::unique_ptr<Key> m_beyond; // every key past maxKeys
};

} // namespace orva::hub
