// The error catalog as the build generates it from its one source: codes by
// position, type texts and the templates with their quirks kept.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/error-ids.h"

namespace kel::test {
namespace {

TEST(ErrorCatalog, CodesCountIdsFromZeroInEachCategory) {
    struct Row {
        ErrorId id;
        int code;
        const char* word;
    };
    const Row rows[] = {
        {ErrorId::throw_break, 0, "break"},
        {ErrorId::note_no_load, 100, "no-load"},
        {ErrorId::script_no_value, 300, "no-value"},
        {ErrorId::script_bad_make_arg, 353, "bad-make-arg"},
        {ErrorId::script_kb_invalid_record, 393, "kb-invalid-record"},
        {ErrorId::math_zero_divide, 400, "zero-divide"},
        {ErrorId::access_cannot_open, 500, "cannot-open"},
        {ErrorId::user_message, 800, "message"},
        {ErrorId::internal_invalid_error, 910, "invalid-error"},
        {ErrorId::internal_kel_system, 912, "kel-system"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(int(r.id), r.code);
        EXPECT_STREQ(error_id_word(r.id), r.word);
    }
    EXPECT_EQ(error_id_word(ErrorId(600)), nullptr);  // reserved1 has no ids
    EXPECT_EQ(error_id_word(ErrorId(914)), nullptr);
    EXPECT_EQ(error_categories[6].id_count, 0);
    EXPECT_EQ(error_categories[3].id_count, 94);
}

TEST(ErrorCatalog, CategoriesInOrderWithTheirTypeTexts) {
    const char* words[] = {"throw",  "note",      "syntax",    "script", "math",
                           "access", "reserved1", "reserved2", "user",   "internal"};
    for (int i = 0; i < 10; ++i) EXPECT_STREQ(error_categories[i].word, words[i]);
    EXPECT_STREQ(error_categories[1].type_text, "note");  // the one in lower case
    EXPECT_STREQ(error_categories[3].type_text, "Script Error");
    EXPECT_STREQ(error_categories[7].type_text, "Reserved2 Error");
}

TEST(ErrorCatalog, TemplatesKeepTheirQuirks) {
    const ErrorIdInfo* no_load = error_id_info(ErrorId::note_no_load);
    ASSERT_EQ(no_load->kind, TemplateKind::block);
    EXPECT_STREQ(no_load->items[0].text, "cannot load: ");  // trailing space kept
    EXPECT_EQ(no_load->items[1].kind, TemplateItemKind::get_word);

    const ErrorIdInfo* facet = error_id_info(ErrorId::script_invalid_facet_type);
    EXPECT_STREQ(facet->items[0].text, "VIEW - invalid rate value:");

    for (ErrorId one : {ErrorId::access_invalid_port, ErrorId::access_invalid_actor, ErrorId::access_bad_media}) {
        const ErrorIdInfo* info = error_id_info(one);
        EXPECT_EQ(info->kind, TemplateKind::block);
        ASSERT_EQ(info->item_count, 1);
        EXPECT_EQ(info->items[0].kind, TemplateItemKind::text);
    }

    const ErrorIdInfo* message = error_id_info(ErrorId::user_message);
    EXPECT_EQ(message->kind, TemplateKind::word);
    EXPECT_STREQ(message->items[0].text, "arg1");

    const ErrorIdInfo* deprecated = error_id_info(ErrorId::internal_deprecated);
    ASSERT_EQ(deprecated->item_count, 4);
    EXPECT_EQ(deprecated->items[0].kind, TemplateItemKind::word);  // plain arg1, arg2
    EXPECT_EQ(deprecated->items[2].kind, TemplateItemKind::word);
    EXPECT_EQ(error_id_info(ErrorId::internal_bad_path)->items[1].kind, TemplateItemKind::word);
    EXPECT_EQ(error_id_info(ErrorId::internal_not_here)->items[0].kind, TemplateItemKind::word);

    const ErrorIdInfo* op = error_id_info(ErrorId::script_bad_op_spec);
    EXPECT_EQ(op->kind, TemplateKind::text);
    EXPECT_EQ(std::string(op->items[0].text).rfind("making an op! requires", 0), 0u);
    EXPECT_STREQ(error_id_info(ErrorId::internal_routines)->items[0].text,
                 "routines require compilation, from OS shell: `kel -r <script.kel>`");
}

}  // namespace
}  // namespace kel::test
