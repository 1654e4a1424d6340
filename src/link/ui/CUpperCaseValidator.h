#pragma once

#include <QValidator>

// Turns every letter typed or pasted into an edit into upper case, the way
// an upper-case edit control does; it refuses nothing.
class CUpperCaseValidator : public QValidator {
    Q_OBJECT
public:
    explicit CUpperCaseValidator(QObject* parent = nullptr) : QValidator(parent) {}

    State validate(QString& input, int& pos) const override;
};
