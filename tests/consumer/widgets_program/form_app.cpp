// form_app: sets up a form made with Designer's "mxquery" entry, which also holds a generic
// control host naming the control, and prints the version of the control the entry sited, or
// the error that kept either from being created.
#include <QApplication>
#include <iostream>

#include "ui_query_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget form;
    Ui::QueryForm ui;
    ui.setupUi(&form);
    const component::ControlHost* hosts[] = {ui.mxquery1, ui.host1};
    for (const component::ControlHost* host : hosts) {
        if (!host->hasControl()) {
            std::cerr << "no control: error " << host->creationError().number << '\n';
            return 1;
        }
    }
    try {
        std::cout << "sited mxquery " << ui.mxquery1->client().GetVersion() << '\n';
    } catch (const ombrix::ControlError& error) {
        std::cerr << "Error " << error.number() << ": " << error.description() << '\n';
        return 1;
    }
    return 0;
}
