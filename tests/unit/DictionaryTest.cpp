// The dictionary built from the tag table: a record transcribed wrongly, or
// a flag read wrongly, changes one of these sizes.
#include <gtest/gtest.h>

#include "dictionary/Dictionary.h"

TEST(DictionaryTest, ContainerSizes) {
    const CDictionary& converter = CDictionary::Shared();
    const std::size_t sizes[] = {
        converter.m_externToIntern.size(),       converter.m_internToExtern.size(),
        converter.m_rootExternToIntern.size(),   converter.m_rootInternToExtern.size(),
        converter.m_rootExternToListName.size(), converter.m_modeExternToIntern.size(),
        converter.m_modeInternToExtern.size(),   converter.m_turnoverRoots.size(),
        converter.m_deviceNoTags.size(),         converter.m_deviceNoOptionalTags.size(),
        converter.m_departmentNoTags.size(),     converter.m_nillableTags.size(),
        converter.m_sharedTags.size(),           converter.m_zkOnlyTags.size(),
        converter.m_norvaOnlyTags.size()};
    const std::size_t expected[] = {898, 897, 160, 160, 160, 9, 9, 30, 22, 8, 54, 26, 53, 811, 59};
    for (std::size_t i = 0; i < std::size(sizes); ++i) EXPECT_EQ(sizes[i], expected[i]) << "container " << i;
}
