#include "PtyPair.h"
#include "engine/line/QtSerialLine.h"

#include <QTest>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orva;

// An operator without access to the serial device is told so in the serial
// layer's own words, not with a vague failure.
class PermissionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void deviceWithoutAccessIsReportedAsPermissionDenied()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to become an unprivileged user");
        PtyPair pty; // owned by root, not open to others
        QVERIFY(pty.isValid());

        int pipeFds[2];
        QCOMPARE(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            // Become "nobody", with no supplementary groups.
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            QtSerialLine comm;
            const bool opened = comm.open(LineAddress::device(pty.devicePath()), LineSpeed::Baud19200);
            const QByteArray description
                = (lineErrorKindName(comm.lastError().kind) + QLatin1Char(' ') + comm.lastError().text).toUtf8();
            (void)!::write(pipeFds[1], description.constData(), size_t(description.size()));
            ::_exit(opened ? 1 : 0);
        }
        ::close(pipeFds[1]);
        QByteArray description;
        char buf[256];
        for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
            description.append(buf, n);
        ::close(pipeFds[0]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0); // the opening was refused
        QVERIFY2(description.startsWith("permission-denied "), description.constData());
        QVERIFY2(description.contains("Permission denied"), description.constData());
    }
};

QTEST_GUILESS_MAIN(PermissionTest)
#include "tst_permission.moc"
