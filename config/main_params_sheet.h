#pragma once
// "Насторойка основных параметров": the instrument's identification, its logical number, the
// speeds of both RS-485 ports, the mode of the second port and the device number.
#include "sheet_services.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class MainParamsSheet : public QWidget {
    Q_OBJECT
public:
    explicit MainParamsSheet(SheetServices &services, QWidget *parent = nullptr);

    // Identification, read only.
    QPushButton *BitBtnMainParam;
    QLabel *StaticTextVersDev;
    QLabel *StaticTextVersPrg;
    QLabel *StaticTextNumMeasureParam;
    QLabel *StaticTextSchInp;

    // "Настройки каналов связи".
    QGroupBox *GroupBoxLinkChannels;
    QLineEdit *EditReadLog;
    QPushButton *BitBtnWriteLog;
    QComboBox *ComboBoxBaudComA;
    QPushButton *BitBtnWriteBaudComA;
    QComboBox *sComboBoxStatComB; // "Информ." (information channel) or "Modbus"
    QPushButton *sBitBtnWriteStatysComB;
    QComboBox *ComboBoxBaudComB;
    QPushButton *BitBtnWriteBaudComB;

    // "Номер прибора".
    QLineEdit *EditNumDev;
    QPushButton *BitBtnSaveNumDev;

    // Buttons.
    void BitBtnMainParamClick();
    void BitBtnWriteLogClick();
    void BitBtnWriteBaudComAClick();
    void sBitBtnWriteStatysComBClick();
    void BitBtnWriteBaudComBClick();
    void BitBtnSaveNumDevClick();

    // Guarded edits.
    void EditReadLogChange();
    void EditReadLogEnter();
    void EditReadLogExit();
    void EditNumDevChange();
    void EditNumDevEnter();
    void EditNumDevExit();

    // Answers of the main-parameter read.
    // The version word alone: chooses the size of the main block and arms the runner to read it.
    void ChooseMainParamBlock(const tavro::Response &answer);
    // The main block: fills the sheet, then arms the runner for the display lines at 1024.
    void ShowMainParam(const tavro::Response &answer);
    // After "Информация записана " for a single-register write at reg.
    void WriteConfirmed(std::uint16_t reg);

    // The second port's mode and speed with their buttons; only newer instruments have them.
    void DisablePort2Controls();

    // What this sheet does on the display sheet and the connection controls, set by the window.
    std::function<void()> clearDisplaySettings;            // the display settings read next are unknown
    std::function<void(std::uint16_t)> showBrightness;     // word 3 of the main block
    std::function<void(const QString &)> setLogicalNumber; // the instrument answers to a new number
    std::function<void(int)> followPortSpeed;              // speed list position the instrument now uses

    // The list position of a port speed in bit/s, -1 for a speed the lists do not offer.
    static int SpeedPosition(std::uint16_t bitsPerSecond);

private:
    void enablePort2(bool modeControls, bool speedControls);
    std::uint16_t logicalNumberForNextStep();
    void armRunner();
    void writeParameter(std::uint16_t slave, std::uint16_t reg, std::uint16_t value);

    SheetServices &services_;
    int blockWords_ = 0;                         // words asked for in the main-block read
    std::array<std::uint16_t, 2> numDevWords_{}; // the device number as the write sends it
};
