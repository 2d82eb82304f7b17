#include "sheet_services.h"

#include "guard.h"

#include <QComboBox>
#include <QEvent>

bool ControlInfoCombo(QComboBox *list, tavro::MessageSink &messages)
{
    if (list->currentIndex() >= 0)
        return true;
    messages.show(QStringLiteral("Информация не корректна"));
    return false;
}

namespace {

class FocusWatch : public QObject {
public:
    FocusWatch(QWidget *widget, tavro::MessageSink &messages, std::function<void()> enter,
               std::function<void()> leave)
        : QObject(widget), messages_(messages), enter_(std::move(enter)), leave_(std::move(leave))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn && enter_)
            tavro::RunGuarded(messages_, enter_);
        else if (event->type() == QEvent::FocusOut && leave_)
            tavro::RunGuarded(messages_, leave_);
        return false;
    }

private:
    tavro::MessageSink &messages_;
    std::function<void()> enter_;
    std::function<void()> leave_;
};

} // namespace

void OnFocusChange(QWidget *widget, tavro::MessageSink &messages, std::function<void()> enter,
                   std::function<void()> leave)
{
    new FocusWatch(widget, messages, std::move(enter), std::move(leave));
}
