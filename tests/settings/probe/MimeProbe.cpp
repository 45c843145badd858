#include <QMimeDatabase>
#include <iostream>

// Prints, one a line, the MIME type found for each file name by its extension alone.
int main(int argc, char** argv)
{
    const QMimeDatabase database;
    for (int index = 1; index < argc; ++index) {
        const QMimeType type =
            database.mimeTypeForFile(QString::fromLocal8Bit(argv[index]), QMimeDatabase::MatchExtension);
        std::cout << type.name().toStdString() << '\n';
    }
    return 0;
}
