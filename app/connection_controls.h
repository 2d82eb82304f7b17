#pragma once
#include <QList>
#include <QObject>

#include <functional>

class QComboBox;
class QLineEdit;
class AppSettings;
class PortResolver;

namespace tavro {
class SerialPort;
class MessageSink;
}

// The "Связь" groups of all pages: the five port selectors and three speed selectors that always
// agree, the logical-number fields kept equal and checked, and the port set-up from Tavro.ini.
class ConnectionControls : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QList<QComboBox *> ports;  // ComboBoxPort1..ComboBoxPort5, in that order
        QList<QComboBox *> speeds; // ComboBoxBaud1, ComboBoxBaud2, ComboBoxBaud4
        QList<QLineEdit *> logicalNumbers; // Edit1, Edit2, Edit12
        QLineEdit *channelLogicalNumber = nullptr; // the information channel's read-only field
    };

    ConnectionControls(const Widgets &widgets, AppSettings &settings, tavro::SerialPort &port,
                       tavro::MessageSink &messages, const PortResolver *resolver, QObject *parent = nullptr);

    static const QList<int> &SpeedTable();
    static int BaudIndex(int speed); // index in the speed table, 3 ("9600") when not there

    // Called when leaving the information channel page must happen before a port message.
    void setLeaveChannelPage(std::function<void()> leave) { leaveChannelPage_ = std::move(leave); }
    bool channelPageActive = false;

    bool LoadPortSettings();
    bool LoadPortNumber();
    void ComboBoxPortChange(int selector);
    void ComboBoxBaudChange(int selector);
    void ControlInfoEdit(QLineEdit *edit);
    void LogicalNumberChange(QLineEdit *changed);
    void refreshPortTooltips();

private:
    bool readPortNumber();
    void selectPortEverywhere(int index);
    void selectSpeedEverywhere(int index);

    Widgets w_;
    AppSettings &settings_;
    tavro::SerialPort &port_;
    tavro::MessageSink &messages_;
    const PortResolver *resolver_;
    std::function<void()> leaveChannelPage_;
};
