#pragma once
// Output files written whole or not at all, every write, the flush and the final commit checked.

#include <QFile>
#include <QSaveFile>
#include <QString>

namespace ov {

// A regular file is written to a temporary file that replaces it only when everything was
// written. A target that is not a regular file (a device such as /dev/null, a pipe) cannot be
// replaced: it is written straight, and never swapped for a regular file.
class OutputFile {
public:
    explicit OutputFile(const QString& path);

    // False when the file cannot be opened for writing; errorString() says why.
    bool open();
    QIODevice& device();
    // Flushes and commits; on failure returns why (a regular target is left as it was).
    // Empty when all was written.
    QString commit();
    // Gives up: a regular target is left as it was.
    void cancel();
    QString errorString() const;

private:
    QString m_path;
    bool m_direct;
    QSaveFile m_save;
    QFile m_file;
};

// Puts a complete file on the disk (fsync), before it takes the name under which it is used.
bool flushToDisk(const QString& path);

// Writes the bytes through an OutputFile, whole or not at all; raises Error with the message below.
void writeWholeFile(const QString& path, const QByteArray& bytes);

// The French message of a file that could not be written.
QString cannotWriteMessage(const QString& path, const QString& reason);

} // namespace ov
