#pragma once

#include "ombrix/component/class_factory.h"
#include "ombrix/component/server_module.h"

namespace component {

// The class factory of one class of this library. Factories live as long as the library,
// which is never unloaded, so their reference counting keeps nothing alive; a host that
// wants the library kept in use locks the server instead.
class ModuleClassFactory final : public ClassFactory {
  public:
    explicit ModuleClassFactory(const ClassEntry& entry) : entry_(&entry) {}

    const ClassInfo& info() const { return *entry_->info; }

    ResultCode queryInterface(const Guid& iid, void** out) override;
    std::uint32_t addRef() override { return 1; }
    std::uint32_t release() override { return 1; }
    ResultCode createInstance(Unknown* outer, const Guid& iid, void** out) override;
    ResultCode lockServer(bool lock) override;

  private:
    const ClassEntry* entry_;
};

}  // namespace component
