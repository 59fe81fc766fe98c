// The yardstick for the window's figures: the least a Qt 6 program can show, one message
// box with the updater's title, ended by its close button.
#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMessageBox box(QMessageBox::Information, "VYR Firmware Updater", "Waiting...",
                    QMessageBox::Cancel);
    return box.exec() == QMessageBox::Cancel ? 0 : 1;
}
