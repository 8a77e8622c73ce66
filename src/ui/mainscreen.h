#pragma once
// The main screen TovMainPerso: grids of the random tables, edit boxes, generators, memo, count.

#include <QWidget>

namespace ov::ui {

class TovMainPerso : public QWidget {
    Q_OBJECT
public:
    explicit TovMainPerso(QWidget* parent = nullptr);
};

} // namespace ov::ui
