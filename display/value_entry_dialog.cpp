#include "value_entry_dialog.h"

#include "conversion.h"
#include "guard.h"
#include "rated_voltage.h"
#include "sheet_services.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

bool isNumber(const QString &text)
{
    try {
        tavro::StrToFloat(text);
        return true;
    } catch (const tavro::ConversionError &) {
        return false;
    }
}

} // namespace

ValueEntryDialog::ValueEntryDialog(tavro::MessageSink &messages, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      messages_(messages)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Введите значение"));
    setFixedSize(261, 61);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, 0, 261, 61);

    EditImpValue = new QLineEdit(panel);
    EditImpValue->setObjectName(QStringLiteral("EditImpValue"));
    EditImpValue->setGeometry(16, 16, 129, 24);
    ButtonEnterVal = new QPushButton(QStringLiteral("Ввод"), panel);
    ButtonEnterVal->setObjectName(QStringLiteral("ButtonEnterVal"));
    ButtonEnterVal->setGeometry(164, 16, 75, 25);
    // Enter belongs to the edit alone: a default button would confirm a second time.
    ButtonEnterVal->setAutoDefault(false);
    ButtonEnterVal->setDefault(false);

    connect(ButtonEnterVal, &QPushButton::clicked, this, tavro::Guarded(messages_, [this] { ButtonEnterValClick(); }));
    connect(EditImpValue, &QLineEdit::textChanged, this, tavro::Guarded(messages_, [this] { EditImpValueChange(); }));
    OnFocusChange(EditImpValue, messages_, [this] { EditImpValueEnter(); }, [this] { EditImpValueExit(); });
    EditImpValue->installEventFilter(this);
}

bool ValueEntryDialog::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        tavro::RunGuarded(messages_, [this] { FormActivate(); });
    return QDialog::event(e);
}

bool ValueEntryDialog::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == EditImpValue && e->type() == QEvent::KeyPress)
        return EditImpValueKeyPress(static_cast<QKeyEvent *>(e)->key());
    return QDialog::eventFilter(watched, e);
}

void ValueEntryDialog::keyPressEvent(QKeyEvent *e)
{
    // Escape leaves through close, so the main window is given back as with the close box.
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(e);
}

void ValueEntryDialog::closeEvent(QCloseEvent *e)
{
    FormClose();
    QDialog::closeEvent(e);
}

void ValueEntryDialog::FormActivate()
{
    if (sourceText)
        EditImpValue->setText(sourceText());
}

void ValueEntryDialog::FormClose()
{
    if (closed)
        closed();
}

void ValueEntryDialog::EditImpValueEnter()
{
    savedText_ = EditImpValue->text();
}

void ValueEntryDialog::EditImpValueChange()
{
    if (restoring_)
        return;
    const QString text = EditImpValue->text();
    if (text.isEmpty() || isNumber(text))
        return;
    restoring_ = true;
    EditImpValue->setText(savedText_);
    restoring_ = false;
}

void ValueEntryDialog::EditImpValueExit()
{
    if (!isNumber(EditImpValue->text()))
        EditImpValue->setText(QStringLiteral("0"));
}

bool ValueEntryDialog::EditImpValueKeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    tavro::RunGuarded(messages_, [this] { ButtonEnterValClick(); });
    return true;
}

void ValueEntryDialog::ButtonEnterValClick()
{
    savedText_ = EditImpValue->text();
    // A text that is no number, or none a single can hold, is reported and nothing is written.
    const float value = tavro::TextToSingle(savedText_);
    if (confirmed)
        confirmed(value);
}
