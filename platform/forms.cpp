#include "platform/forms.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace kest {

LoadedForms& LoadedForms::instance()
{
    static LoadedForms forms;
    return forms;
}

void LoadedForms::formLoaded(QObject* form)
{
    if (form && !isLoaded(form))
        m_forms.emplace_back(form);
}

void LoadedForms::formUnloaded(QObject* form)
{
    // A form that went away without unloading counts as unloaded, too.
    std::erase_if(m_forms, [form](const QPointer<QObject>& f) { return f.isNull() || f == form; });
    if (m_forms.empty()) {
        emit noFormLeft();
        // Quit from the event loop, so the unloading form finishes its own
        // steps first; a form loaded meanwhile (the next window of a hand-over)
        // keeps the program running.
        if (QCoreApplication* app = QCoreApplication::instance())
            QTimer::singleShot(0, app, [this] {
                if (count() == 0)
                    QCoreApplication::quit();
            });
    }
}

bool LoadedForms::isLoaded(const QObject* form) const
{
    return std::any_of(
        m_forms.begin(), m_forms.end(), [form](const QPointer<QObject>& f) { return f == form; });
}

int LoadedForms::count() const
{
    return static_cast<int>(std::count_if(
        m_forms.begin(), m_forms.end(), [](const QPointer<QObject>& f) { return !f.isNull(); }));
}

} // namespace kest
