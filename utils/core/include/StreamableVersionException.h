// Thrown by value when a record's stream carries a version number the record does not know.
#ifndef STREAMABLEVERSIONEXCEPTION_H
#define STREAMABLEVERSIONEXCEPTION_H

#include <QString>

class StreamableVersionException
{
public:
    StreamableVersionException(const QString &file, qint32 line, qint32 version)
        : file(file)
        , line(line)
        , version(version)
    {
    }

    QString file;   // source path of the class that rejected the stream
    qint32 line;    // source line of the throw
    qint32 version; // the version number that was read
};

#endif // STREAMABLEVERSIONEXCEPTION_H
