// Peak memory of tesora-cli for the largest pictures it accepts: the maximum resident
// set size (getrusage of the finished child) of `compress`, alone and with all three
// picture outputs, for 1025-wide PNGs of each height; then for a far too wide one.
// Usage: peak_memory TESORA-CLI [HEIGHT ...]
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "picture/PictureFile.h"

namespace {

// Runs the program with its output thrown away; returns its peak RSS in KiB, or -1.
long PeakKiB(const std::vector<std::string>& args, int* status) {
    std::fflush(stdout);  // or the child writes our buffered lines again
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout)) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    rusage usage{};
    if (child < 0 || wait4(child, status, 0, &usage) != child) return -1;
    return usage.ru_maxrss;
}

// A grey ramp with some texture: compresses well as PNG, decodes to the full size.
QImage Picture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int g = (x / 4 + y / 8 + ((x * y) & 7)) & 255;
            row[x] = qRgb(g, g, g);
        }
    }
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s TESORA-CLI [HEIGHT ...]\n", argv[0]);
        return 2;
    }
    const std::string cli = argv[1];
    std::vector<int> heights;
    for (int i = 2; i < argc; ++i) heights.push_back(std::stoi(argv[i]));
    if (heights.empty()) heights = {1025, tesora::kMaxPicturePixels / tesora::kMaxSide};
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return QDir(dir.path()).filePath(name).toStdString(); };

    std::printf("%-14s %-22s %10s %7s\n", "picture", "run", "peak MiB", "status");
    for (const int height : heights) {
        const int width = tesora::kMaxSide;
        Picture(width, height).save(QString::fromStdString(path("in.png")), "PNG");
        const std::vector<std::string> plain = {cli, "compress", path("in.png"), "--level", "2", "--epsilon", "5"};
        std::vector<std::string> outputs = plain;
        for (const char* o : {"--approximation", "--coefficients", "--reconstruction"}) {
            outputs.push_back(o);
            outputs.push_back(path((std::string(o + 2) + ".bmp").c_str()));
        }
        for (const auto& [name, args] : {std::pair{"compress", plain}, std::pair{"+ three outputs", outputs}}) {
            int status = 0;
            const long kib = PeakKiB(args, &status);
            std::printf("%4d x %-7d %-22s %10.1f %7d\n", width, height, name, static_cast<double>(kib) / 1024.0,
                        WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
    }
    // Too wide: refused from the header, before its 128 MiB of pixels are decoded.
    Picture(16384, 2048).save(QString::fromStdString(path("wide.png")), "PNG");
    int status = 0;
    const long kib = PeakKiB({cli, "compress", path("wide.png"), "--level", "2"}, &status);
    std::printf("%-14s %-22s %10.1f %7d\n", "16384 x 2048", "compress (refused)", static_cast<double>(kib) / 1024.0,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
