#include "ValidateText.h"

#include "RegularExpression.h"

int ValidateText(const QString& text, unsigned int flags, const QString& expression,
                 int minLength, int maxLength)
{
    return TextValidation::ValidateTextWith<RegularExpression>(text, flags, expression,
                                                               minLength, maxLength);
}
