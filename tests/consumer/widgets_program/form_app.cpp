// form_app: shows a form made with Designer's "mxquery" entry and prints the version of the
// control the form sited, or the error that kept it from being created.
#include <QApplication>
#include <iostream>

#include "ui_query_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget form;
    Ui::QueryForm ui;
    ui.setupUi(&form);
    if (!ui.mxquery1->hasControl()) {
        std::cerr << "no control: error " << ui.mxquery1->creationError().number << '\n';
        return 1;
    }
    try {
        std::cout << "sited mxquery " << ui.mxquery1->client().GetVersion() << '\n';
    } catch (const ombrix::ControlError& error) {
        std::cerr << "Error " << error.number() << ": " << error.description() << '\n';
        return 1;
    }
    return 0;
}
