#pragma once

#include <QDialog>
#include <QMap>

#include <initializer_list>

class CLanguageHandler;
class QRadioButton;

// Asks what a CSV export or import works on: a text above one radio per
// choice, OK and Cancel beside them.
class CDataChoiceDlg : public QDialog
{
    Q_OBJECT

public:
    int GetChoice() const { return m_nChoice; }
    // The radio of a choice; null for one the dialog does not offer.
    QRadioButton* Radio(int choice) const { return m_radios.value(choice); }

protected:
    struct Choice
    {
        int choice;
        int controlId;
        unsigned int text;
    };
    CDataChoiceDlg(CLanguageHandler* language, const QString& id, unsigned int captionText, unsigned int introText,
                   std::initializer_list<Choice> choices, int minimumWidth, QWidget* parent);
    // Checks the choice's radio; the choice follows it.
    void Choose(int choice);

private:
    int m_nChoice = 0;
    QMap<int, QRadioButton*> m_radios;
};
