#include "designer/mxquery_designer_plugin.h"

#include <QPixmap>

#include "control/mxquery_type_library.h"
#include "ombrix/widgets/mxquery.h"

namespace ombrix {
namespace {

component::ControlWidgetDescription mxqueryEntry() {
    auto description = component::describeControlClass(typeLibrary(), mxqueryClass());
    description.widgetClass = QString::fromLatin1(mxquery::staticMetaObject.className());
    description.includeFile = QStringLiteral("ombrix/widgets/mxquery.h");
    description.icon = QIcon(QPixmap(QStringLiteral(":/ombrix-designer/mxquery_toolbox.bmp")));
    description.create = [](QWidget* parent) { return new mxquery(parent); };
    return description;
}

}  // namespace

MxQueryDesignerPlugin::MxQueryDesignerPlugin(QObject* parent)
    : QObject(parent), component::ControlWidgetEntry(mxqueryEntry()) {}

}  // namespace ombrix
