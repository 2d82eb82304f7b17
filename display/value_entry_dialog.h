#pragma once
// "Введите значение": one number typed by the user, the reference for the calibration of one
// measured quantity. Created once, shown and hidden; the panel that opens it places it and
// disables the main window, and closing it gives the main window back.
#include "timer.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

class ValueEntryDialog : public QDialog {
    Q_OBJECT
public:
    explicit ValueEntryDialog(tavro::MessageSink &messages, QWidget *parent = nullptr);

    QLineEdit *EditImpValue;
    QPushButton *ButtonEnterVal;

    // The text of the value field the dialog was opened on; copied in at each activation.
    std::function<QString()> sourceText;
    // The confirmed number, as a single.
    std::function<void(float)> confirmed;
    // The dialog was closed: the main window is usable again.
    std::function<void()> closed;

    QString savedText() const { return savedText_; }

    void FormActivate();
    void FormClose();
    void EditImpValueEnter();
    void EditImpValueChange();
    void EditImpValueExit();
    // Enter confirms, as the button does; the dialog stays open.
    bool EditImpValueKeyPress(int key);
    void ButtonEnterValClick();

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    tavro::MessageSink &messages_;
    QString savedText_;
    bool restoring_ = false;
};
