#include "hub/RefusalLog.h"

#include <algorithm>

namespace orva::hub {

struct RefusalLog::Key
{
    Refusal first;
    qint64 count = 0; // since the window opened, the first one not counted
    std::unique_ptr<IntervalTimer> window;
};

RefusalLog::RefusalLog(Clock& clock, Write write, int maxKeys)
    : m_clock(clock)
    , m_write(std::move(write))
    , m_maxKeys(maxKeys)
    , m_beyond(std::make_unique<Key>())
{
    m_beyond->window = m_clock.createTimer(QStringLiteral("refusals beyond the keys followed"), WindowMs);
    m_beyond->window->setHandler([this] { windowEnded(*m_beyond); });
}

RefusalLog::~RefusalLog() = default;

RefusalLog::Key* RefusalLog::keyFor(const Refusal& refusal)
{
    const QString name = refusal.subject + QChar(0) + refusal.peer + QChar(0) + refusal.reason;
    if (const auto found = m_keys.find(name); found != m_keys.end())
        return found->second.get();
    if (int(m_keys.size()) >= m_maxKeys) {
        // A key whose window has closed gives its place; its next refusal
        // would be written in full anyway.
        const auto idle = std::find_if(
            m_keys.begin(), m_keys.end(), [](const auto& entry) { return !entry.second->window->isEnabled(); });
        if (idle == m_keys.end())
            return nullptr;
        m_keys.erase(idle);
    }
    auto key = std::make_unique<Key>();
    Key& added = *key;
    key->window = m_clock.createTimer(QStringLiteral("refusals of ") + refusal.peer, WindowMs);
    key->window->setHandler([this, &added] { windowEnded(added); });
    m_keys.emplace(name, std::move(key));
    return &added;
}

void RefusalLog::refuse(const Refusal& refusal)
{
    Key* key = keyFor(refusal);
    if (!key) {
        ++m_beyond->count;
        m_beyond->window->setEnabled(true);
        return;
    }
    if (key->window->isEnabled()) {
        ++key->count;
        return;
    }
    key->first = refusal;
    key->count = 0;
    key->window->setEnabled(true);
    m_write(refusal.subject, refusal.text);
}

void RefusalLog::windowEnded(Key& key)
{
    if (key.count == 0) {
        // Stopped, not destroyed: this runs inside the key's own timer.
        key.window->setEnabled(false);
        return;
    }
    const int seconds = WindowMs / 1000;
    if (&key == m_beyond.get()) {
        m_write(QString(),
            QStringLiteral("refused %1 more requests in %2 s from peers beyond the %3 the log follows one by one")
                .arg(key.count)
                .arg(seconds)
                .arg(m_maxKeys));
    } else {
        m_write(key.first.subject,
            QStringLiteral("%1: refused %2 more %3 in %4 s: %5")
                .arg(key.first.peer)
                .arg(key.count)
                .arg(key.first.what)
                .arg(seconds)
                .arg(key.first.reason));
    }
    key.count = 0;
}

} // namespace orva::hub
