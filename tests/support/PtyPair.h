#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace orva {

// A pseudo-terminal pair for tests over a real line: the panel opens the
// device path; the test plays the projector on the master side.
class PtyPair
{
public:
    // DeviceName: the panel opens the pseudo-terminal's own device
    // (/dev/pts/N). StableName: it opens a symbolic link in a private folder
    // that points at the current device, so that the device can go away and
    // come back under the same name, as an adapter that is pulled out and
    // plugged in again.
    enum Naming { DeviceName, StableName };

    explicit PtyPair(Naming naming = DeviceName);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString devicePath() const { return m_link.isEmpty() ? m_path : m_link; }
    // The projector's side, non-blocking; for callers that read and write it
    // themselves (the benchmarks watch it from a thread of their own).
    int masterFd() const { return m_master; }

    // Writes bytes as the projector would.
    bool write(const QByteArray& bytes);
    // Reads what has arrived from the panel, waiting up to timeoutMs for at
    // least minBytes.
    QByteArray read(int minBytes, int timeoutMs);
    // Reads until what has arrived ends with tail, waiting up to timeoutMs.
    QByteArray readUntil(const QByteArray& tail, int timeoutMs);
    // Line speed the panel has set on its side, in baud (0: none we know).
    int baudRate() const;
    // Closes the master side: the panel sees the line hang up and the
    // device disappears.
    void hangUp();
    // A new pseudo-terminal behind the stable name: the device is back.
    bool reconnect();

private:
    bool open();
    QByteArray readWhile(const std::function<bool(const QByteArray&)>& more, int timeoutMs);

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::unique_ptr<QTemporaryDir> m_dir; // holds the stable name
    QString m_link;
};

} // namespace orva
