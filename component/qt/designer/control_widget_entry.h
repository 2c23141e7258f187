#pragma once

#include <QIcon>
#include <QString>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <functional>

#include "ombrix/component/type_library.h"

class QWidget;

namespace component {

// What Designer's widget box shows for one kind of control widget, and how a form gets one.
struct ControlWidgetDescription {
    QString widgetClass;  // the C++ class that forms name and generated code instantiates
    QString includeFile;  // its header, for generated code
    QString displayName;  // the entry's name in the widget box
    QString objectName;   // what a new widget is called in the form
    QString group;
    QString toolTip;
    QString whatsThis;
    QIcon icon;
    QString properties;  // <property> elements that a new widget starts with
    std::function<QWidget*(QWidget* parent)> create;
};

// A control class as its type library names it: the class name in the widget box, in a
// group named after the library, with the library's help string as its tool tip. The widget
// class, header, icon and factory are the caller's.
ControlWidgetDescription describeControlClass(const TypeLibrary& library, const ClassInfo& cls);

// A widget box entry. Designer tells entries apart by widget class alone, so every control
// library's plugin brings a widget class of its own and no two libraries clash.
class ControlWidgetEntry : public QDesignerCustomWidgetInterface {
  public:
    explicit ControlWidgetEntry(ControlWidgetDescription description);

    QString name() const override { return description_.widgetClass; }
    QString group() const override { return description_.group; }
    QString toolTip() const override { return description_.toolTip; }
    QString whatsThis() const override { return description_.whatsThis; }
    QString includeFile() const override { return description_.includeFile; }
    QIcon icon() const override { return description_.icon; }
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* parent) override { return description_.create(parent); }
    bool isInitialized() const override { return initialized_; }
    void initialize(QDesignerFormEditorInterface*) override { initialized_ = true; }
    QString domXml() const override;

  private:
    ControlWidgetDescription description_;
    bool initialized_ = false;
};

}  // namespace component
