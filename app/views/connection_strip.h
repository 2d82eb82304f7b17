#pragma once
#include <QGroupBox>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

// The "Связь" band at the top of a page: captioned fields side by side, left to right.
class ConnectionStrip : public QGroupBox {
    Q_OBJECT
public:
    explicit ConnectionStrip(const char *objectName, QWidget *parent = nullptr);

    // A caption ("Порт:") followed by its field.
    void addField(const QString &caption, QWidget *field);
    void addWidget(QWidget *widget);
    void addSpacing(int pixels);
    void addStretch();
    QBoxLayout *row() const { return row_; }

private:
    QBoxLayout *row_;
};

// Port selector: "Comm1".."Comm16", each item carrying its port number (1..16) as data.
QComboBox *NewPortSelector(const char *objectName);
// Speed selector: the six speeds "1200".."38400", each carrying its speed as data; "9600" selected.
QComboBox *NewSpeedSelector(const char *objectName);
// A fixed text shown in a sunken box, like "отключен" for the parity.
QLabel *NewFixedText(const QString &text, const char *objectName);
// A logical-number field, initial "1"; checking what is typed is left to its owner.
QLineEdit *NewLogicalNumberEdit(const char *objectName);

QStringList SpeedItems();

// A new sheet of a page control, with a QVBoxLayout for its contents.
QWidget *AddSheet(QTabWidget *tabs, const char *objectName, const QString &caption);
