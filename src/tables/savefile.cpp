#include "savefile.h"

#include "errors.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace ov {

OutputFile::OutputFile(const QString& path)
    : m_path(path),
      m_direct(QFileInfo::exists(path) && !QFileInfo(path).isFile() && !QFileInfo(path).isDir()),
      m_save(path), m_file(path) {}

bool OutputFile::open() {
    return m_direct ? m_file.open(QIODevice::WriteOnly) : m_save.open(QIODevice::WriteOnly);
}

QIODevice& OutputFile::device() {
    return m_direct ? static_cast<QIODevice&>(m_file) : static_cast<QIODevice&>(m_save);
}

QString OutputFile::commit() {
    // A full disk takes the bytes into a buffer and refuses them only when the buffer is written
    // out: the flush and the error state are checked before the commit.
    QFileDevice& file = m_direct ? static_cast<QFileDevice&>(m_file) : m_save;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        cancel();
        return reason;
    }
    if (m_direct) {
        m_file.close();
        return m_file.error() == QFileDevice::NoError ? QString() : m_file.errorString();
    }
    return m_save.commit() ? QString() : m_save.errorString();
}

void OutputFile::cancel() {
    if (m_direct) {
        m_file.close();
    } else {
        m_save.cancelWriting();
        m_save.commit();
    }
}

QString OutputFile::errorString() const {
    return m_direct ? m_file.errorString() : m_save.errorString();
}

bool flushToDisk(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
}

QString cannotWriteMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Impossible d'écrire le fichier %1 : %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

void writeWholeFile(const QString& path, const QByteArray& bytes) {
    OutputFile file(path);
    if (!file.open())
        throw Error(cannotWriteMessage(path, file.errorString()));
    if (file.device().write(bytes) != bytes.size()) {
        const QString reason = file.device().errorString();
        file.cancel();
        throw Error(cannotWriteMessage(path, reason));
    }
    if (const QString failure = file.commit(); !failure.isEmpty())
        throw Error(cannotWriteMessage(path, failure));
}

} // namespace ov
