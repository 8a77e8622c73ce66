// The install tree: `cmake --install` into a temporary prefix puts every file at its place.

#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_prefix.isValid());
        QProcess install;
        install.start(qEnvironmentVariable("OV_CMAKE"),
                      {QStringLiteral("--install"), qEnvironmentVariable("OV_BUILD_DIR"),
                       QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    }

    void fileAtItsPlace_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("iconSize"); // 0: not a picture
        for (const char* path :
             {"bin/orvanthe", "bin/orvanthe-cli",
              "share/applications/org.orvanthe.Orvanthe.desktop",
              "share/metainfo/org.orvanthe.Orvanthe.metainfo.xml",
              "share/icons/hicolor/scalable/apps/org.orvanthe.Orvanthe.svg",
              "share/man/man6/orvanthe.6", "share/man/man6/orvanthe-cli.6",
              "share/bash-completion/completions/orvanthe-cli", "share/doc/orvanthe/copyright"})
            QTest::newRow(path) << QString::fromLatin1(path) << 0;
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QStringLiteral("icon %1").arg(size)))
                << QStringLiteral("share/icons/hicolor/%1x%1/apps/org.orvanthe.Orvanthe.png")
                       .arg(size)
                << size;
    }
    void fileAtItsPlace() {
        QFETCH(QString, path);
        QFETCH(int, iconSize);
        const QString file = m_prefix.filePath(path);
        QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
        if (iconSize > 0)
            QCOMPARE(QImageReader(file).size(), QSize(iconSize, iconSize));
    }

    void desktopEntryNamesWhatIsInstalled() {
        QSettings entry(
            m_prefix.filePath(QStringLiteral("share/applications/org.orvanthe.Orvanthe.desktop")),
            QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        const QString program = entry.value(QStringLiteral("Exec")).toString().section(u' ', 0, 0);
        QVERIFY(QFileInfo(m_prefix.filePath(QStringLiteral("bin/") + program)).isExecutable());
        QCOMPARE(entry.value(QStringLiteral("Icon")).toString(),
                 QStringLiteral("org.orvanthe.Orvanthe"));
    }

    void installedToolAnswersItsVersion() {
        QProcess tool;
        tool.start(m_prefix.filePath(QStringLiteral("bin/orvanthe-cli")),
                   {QStringLiteral("--version")});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(tool.readAllStandardOutput().startsWith("orvanthe-cli "));
    }

private:
    QTemporaryDir m_prefix;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
