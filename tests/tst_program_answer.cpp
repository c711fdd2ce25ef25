#include "orva/Version.h"
#include "program/ProgramAnswer.h"

#include <QTest>

#include <cstdio>

using namespace orva;

namespace {

// What was written to a stream opened by tmpfile().
QString contents(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    QByteArray bytes;
    char buffer[256];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, stream))
        bytes.append(buffer, qsizetype(n));
    return QString::fromUtf8(bytes);
}

} // namespace

class ProgramAnswerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answer_data()
    {
        QTest::addColumn<StartAction>("action");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<int>("status"); // -1: the program goes on
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString version = QStringLiteral("orva-x %1\n").arg(QLatin1String(VersionText));
        QTest::newRow("run writes nothing") << StartAction::Run << "t"
                                            << "u" << -1 << ""
                                            << "";
        QTest::newRow("help as given") << StartAction::Help << "Usage: orva-x\n"
                                       << "" << 0 << "Usage: orva-x\n"
                                       << "";
        QTest::newRow("version") << StartAction::Version << ""
                                 << "" << 0 << version << "";
        QTest::newRow("usage") << StartAction::Usage << "unknown option '--baud'"
                               << "" << 2 << ""
                               << "orva-x: unknown option '--baud'\nTry 'orva-x --help'.\n";
        QTest::newRow("usage with its synopsis")
            << StartAction::Usage << "no action given"
            << "Usage: orva-x ACTION" << 2 << ""
            << "orva-x: no action given\nUsage: orva-x ACTION\nTry 'orva-x --help'.\n";
    }
    void answer()
    {
        QFETCH(StartAction, action);
        QFETCH(QString, text);
        QFETCH(QString, usage);
        QFETCH(int, status);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        QVERIFY(out && err);
        const std::optional<int> answered = answerStart(action, QStringLiteral("orva-x"), text, usage, out, err);
        QCOMPARE(answered.value_or(-1), status);
        QTEST(contents(out), "out");
        QTEST(contents(err), "err");
        std::fclose(out);
        std::fclose(err);
    }
};

QTEST_GUILESS_MAIN(ProgramAnswerTest)
#include "tst_program_answer.moc"
