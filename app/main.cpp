#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window("Tesora");
    window.resize(393, 349);
    window.show();
    return app.exec();
}
