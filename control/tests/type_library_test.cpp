// The type library as the library publishes it to hosts and tools.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ombrix/component/exports.h"
#include "testing/temporary_registry.h"

namespace ombrix {
namespace {

using component::ValueType;

const component::TypeLibrary* publishedTypeLibrary(
    const testing::TemporaryRegistration& registration) {
    const auto get = reinterpret_cast<decltype(&ComponentTypeLibrary)>(
        ::dlsym(registration.library(), "ComponentTypeLibrary"));
    return get ? get() : nullptr;
}

TEST(OmbrixTypeLibrary, DescribesTheControlItsInterfaceAndRecords) {
    testing::TemporaryRegistration registration(OMBRIX_LIBRARY_PATH);
    ASSERT_EQ(registration.failure(), "");
    const component::TypeLibrary* library = publishedTypeLibrary(registration);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->name, "Ombrix");
    EXPECT_EQ(library->helpString, "MX Resolver");

    ASSERT_EQ(library->classes.size(), 1u);
    const component::ClassInfo& mxquery = library->classes.front();
    EXPECT_EQ(mxquery.name, "mxquery");
    EXPECT_TRUE(mxquery.control);

    const component::InterfaceInfo* events = library->findInterface(mxquery.eventInterface);
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->name, "__mxquery");
    EXPECT_TRUE(events->events);
    EXPECT_TRUE(events->members.empty());

    const component::InterfaceInfo* dispatch = library->findInterface(mxquery.defaultInterface);
    ASSERT_NE(dispatch, nullptr);
    EXPECT_EQ(dispatch->name, "_mxquery");
    std::vector<std::pair<std::string, component::DispId>> members;
    for (const auto& member : dispatch->members)
        members.emplace_back(member.name, member.id);
    // Hosts bind to this order and these identifiers; later members only follow them.
    const std::vector<std::pair<std::string, component::DispId>> expected = {
        {"DNS", 0x40030005},        {"DisplayAboutBox", 0x60030009}, {"SetDNS", 0x60030004},
        {"GetVersion", 0x6003000A}, {"mxquery", 0x60030005},         {"GetBestMX", 0x60030006},
        {"GetMXEntry", 0x60030007}, {"GetMXEntryPref", 0x60030008}};
    ASSERT_GE(members.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), members.begin()));
    std::set<component::DispId> ids;
    for (const auto& member : members)
        EXPECT_TRUE(ids.insert(member.second).second) << member.first << " reuses an identifier";

    ASSERT_EQ(library->records.size(), 2u);
    const auto& info = library->records.at(1);
    EXPECT_EQ(info.name, "MX_INFO");
    ASSERT_EQ(info.fields.size(), 4u);
    EXPECT_EQ(info.fields.at(2).name, "List");
    EXPECT_EQ(info.fields.at(2).type, (component::TypeRef{ValueType::Record, "MX_RECORD", true}));
    EXPECT_EQ(library->records.at(0).fields.at(1).type.type, ValueType::Int16);
}

}  // namespace
}  // namespace ombrix
