#pragma once
// The files one run writes. Nothing reaches its final name until every file has been
// written completely beside it, so a failed run leaves no partial output behind.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace tesora::cli {

class OutputFiles {
public:
    // The format follows the extension (.bmp or .png), as checked beforehand.
    void AddPicture(const QString& path, const QImage& image);
    void AddText(const QString& path, const QByteArray& bytes);
    bool Empty() const { return pending_.empty(); }

    // Writes every file to a temporary file in its target folder, then gives them all
    // their names. Throws tesora::Error, with every temporary removed and every earlier
    // file unchanged, if a write fails.
    void WriteAll();

private:
    struct Pending {
        QString path;
        QImage image;      // a picture, or
        QByteArray bytes;  // text when image is null
    };
    static QByteArray Encoded(const Pending& picture);

    std::vector<Pending> pending_;
};

}  // namespace tesora::cli
