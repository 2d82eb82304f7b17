#pragma once
// "Настройка параметров индикации": the built-in display's brightness, the quantity each of its
// three lines shows, and each line's upper and lower setpoint.
#include "setpoints.h"
#include "sheet_services.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

class DisplaySheet : public QWidget {
    Q_OBJECT
public:
    explicit DisplaySheet(SheetServices &services, QWidget *parent = nullptr);

    // "Яркость".
    QComboBox *ComboBoxBrightness; // "максимальная", "средняя", "низкая"
    QPushButton *BitBtnWriteBrightness;

    // "Отображаемые параметры": the quantity of display lines 1, 2, 3.
    QComboBox *ComboBoxIndParam0;
    QComboBox *ComboBoxIndParam1;
    QComboBox *ComboBoxIndParam2;
    QPushButton *BitBtnSaveIndParam;

    // "Уставки": upper ("превышения") and lower ("принижения") setpoints of lines 1, 2, 3, in percent.
    QLineEdit *ITEUstMax00;
    QLineEdit *ITEUstMax01;
    QLineEdit *ITEUstMax02;
    QLineEdit *ITEUstMin00;
    QLineEdit *ITEUstMin01;
    QLineEdit *ITEUstMin02;
    QPushButton *BitBtnSaveUst;

    QPushButton *IBitBtnMainParam; // reads the main parameters, these settings included

    // Lines 1, 2, 3 as the setpoint rules address them.
    std::array<UstChannel, 3> lines() const;

    // Buttons.
    void BitBtnWriteBrightnessClick();
    void BitBtnSaveIndParamClick();
    void BitBtnSaveUstClick();

    // The user picked a quantity for a line: its setpoints take the group's defaults.
    void ComboBoxIndParam0Change();
    void ComboBoxIndParam1Change();
    void ComboBoxIndParam2Change();

    // The setpoint rule of line 0, 1 or 2; see ControlUst.
    void ControlITEUst(int line, bool reset);

    // Answers of the main-parameter read.
    // The display lines at 1024: selects the three quantities, then arms the setpoint read.
    void ShowIndParam(const tavro::Response &answer);
    // The setpoints at 2816: fills the six fields and ends the read.
    void ShowITEUst(const tavro::Response &answer);

    // A read starts: what it will show is unknown until it arrives.
    void ClearForRead();
    // Word 3 of the main block.
    void ShowBrightness(std::uint16_t word);
    // An exchange ended (good CRC or time-out): the two list writes may go again.
    void EnableSaveButtons();

    // Set by the window.
    std::function<void()> readMainParams; // the main-parameter read of the main sheet
    std::function<void()> chainEnded;     // the main-parameter read is complete

private:
    void lineChangedByUser(int line);
    void armSetpointRead(std::uint16_t slave);
    bool sendMultiWrite(std::uint16_t slave, std::uint16_t reg, std::uint16_t count, std::uint16_t answLen, const std::uint16_t *words);

    SheetServices &services_;
    QString ownSavedText_; // used only when the window shares no saved text
    // InqMultiWrite keeps pointing at these words after the click returns.
    std::array<std::uint16_t, 3> indParamWords_{};
    std::array<std::uint16_t, 6> ustWords_{};
};
