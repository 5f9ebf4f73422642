#pragma once

#include <QStringList>

class QWidget;

// Every text under top that is elided, clipped or squashed where it is drawn (labels, buttons,
// group titles, table headers and cells), and every pair of visible siblings that overlap; one
// line each naming the widget and the text, empty when everything fits.
QStringList layoutFaults(QWidget* top);
