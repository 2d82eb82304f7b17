#pragma once
// What a settings sheet needs from the window around it: the link, message boxes and waits, the
// logical numbers typed on the pages, the status line and progress bar, and the calibration hook.
// Also the small helpers the sheets share.
#include "link.h"

#include <QObject>
#include <QString>

#include <functional>

class QComboBox;
class QProgressBar;
class QWidget;

struct SheetServices {
    tavro::Link &link;
    tavro::MessageSink &messages;
    tavro::Clock &clock;
    tavro::TimerFactory &timers;
    std::function<std::uint16_t()> logicalNumber;         // Edit1 as an integer; ConversionError otherwise
    std::function<std::uint16_t()> settingsLogicalNumber; // Edit2 as an integer; ConversionError otherwise
    std::function<void(const QString &)> showStatus;     // second panel of the status bar, cleared later
    std::function<void(bool)> enableCalibControls;       // the calibration entry buttons
    QProgressBar *progress = nullptr;                     // sProgressBarSchKp in the status bar
    // The one text all guarded edits share: the text a field had when it got the focus.
    QString *savedEditText = nullptr;
};

// A write button's check that its list has a selection; "Информация не корректна" otherwise.
bool ControlInfoCombo(QComboBox *list, tavro::MessageSink &messages);

// Runs enter when the widget gets the keyboard focus and leave when it loses it. Both run guarded:
// an error is shown through messages and the program goes on.
void OnFocusChange(QWidget *widget, tavro::MessageSink &messages, std::function<void()> enter,
                   std::function<void()> leave);
