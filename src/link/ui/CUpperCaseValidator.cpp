#include "link/ui/CUpperCaseValidator.h"

QValidator::State CUpperCaseValidator::validate(QString& input, int& pos) const {
    input = input.toUpper();
    // A few letters grow when upper-cased; keep the cursor inside the text.
    if (pos > input.size())
        pos = static_cast<int>(input.size());
    return Acceptable;
}
