#pragma once

#include "windows/shared/Twips.h"

#include <QFrame>
#include <QString>
#include <QWidget>

// Builds one control of a form: its name, caption, accessible name and designed place.
template <typename Control>
Control *makeControl(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width,
                     int height)
{
    auto *control = new Control(parent);
    control->setObjectName(name);
    if constexpr (requires { control->setText(caption); })
        control->setText(caption);
    else if constexpr (requires { control->setTitle(caption); })
        control->setTitle(caption);
    control->setAccessibleName(caption.isEmpty() ? name : caption);
    Twips::place(control, left, top, width, height);
    return control;
}

// A round indicator of a form, green or red; its "indicator" property names the colour,
// and so does its accessible description, for whoever cannot see it.
inline void paintIndicator(QFrame *shape, bool green)
{
    shape->setAccessibleDescription(green ? QStringLiteral("Green") : QStringLiteral("Red"));
    shape->setStyleSheet(green ? QStringLiteral("background-color: #00FF00; border-radius: 5px;")
                               : QStringLiteral("background-color: #FF0000; border-radius: 5px;"));
    shape->setProperty("indicator", green ? QStringLiteral("green") : QStringLiteral("red"));
}
