// The shared system library: BSTR layout, the UTF-8/UTF-16 codec, and the
// per-thread error record that carries errors across the interface.
#include "Platform/OleAuto/OleAuto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

std::uint32_t BytePrefix(BSTR s)
{
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char*>(s) - sizeof(bytes), sizeof(bytes));
    return bytes;
}

TEST(OleAutoTest, BstrHasByteLengthPrefixAndTerminator)
{
    const char16_t text[] = {u'a', u'\0', u'b'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u); // an embedded NUL counts
    EXPECT_EQ(BytePrefix(s), 6u);   // the prefix is in bytes
    EXPECT_EQ(s[3], u'\0');
    SysFreeString(s);

    BSTR zeros = SysAllocStringLen(nullptr, 2); // no source: zero-filled
    ASSERT_NE(zeros, nullptr);
    EXPECT_EQ(SysStringLen(zeros), 2u);
    EXPECT_EQ(zeros[0], u'\0');
    EXPECT_EQ(zeros[1], u'\0');
    SysFreeString(zeros);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr); // harmless
}

TEST(OleAutoTest, NullAndEmptyAreTheSameText)
{
    WideString null;
    WideString empty = WideString::FromUtf16(u"");
    WideString copied = WideString::Copy(nullptr);
    for (const WideString* w : {&null, &empty, &copied}) {
        EXPECT_TRUE(w->Empty());
        EXPECT_EQ(w->Utf8(), "");
        EXPECT_TRUE(w->View().empty());
    }
    EXPECT_EQ(BstrToUtf8(nullptr), "");

    WideString text("Grüße 73");
    WideString moved = std::move(text);
    EXPECT_EQ(text.c_bstr(), nullptr);
    EXPECT_EQ(moved.Utf8(), "Grüße 73");
    BSTR out = moved.Detach();
    EXPECT_EQ(moved.c_bstr(), nullptr);
    WideString adopted = WideString::Adopt(out);
    EXPECT_EQ(adopted.Length(), 8u);
}

TEST(OleAutoTest, CodecRoundTripsAndReplacesIllFormedInput)
{
    // Well-formed text survives both ways, astral planes as surrogate pairs.
    const std::string good = "DL1ABC \xC3\xA4 \xE2\x82\xAC \xF0\x9F\x93\xA1";
    const std::u16string wide = Utf8ToUtf16(good);
    EXPECT_EQ(wide, u"DL1ABC \u00E4 \u20AC \U0001F4E1");
    EXPECT_EQ(Utf16ToUtf8(wide), good);

    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"stray continuation byte", "a\x80z", u"a\uFFFDz"},
        {"truncated sequence at the end", "a\xE2\x82", u"a\uFFFD\uFFFD"},
        {"overlong encoding", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead byte", "\xFF", u"\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;

    // Unpaired surrogates in UTF-16 become U+FFFD, never ill-formed UTF-8.
    const char16_t lone_high[] = {u'A', 0xD800, u'B'};
    const char16_t lone_low[] = {0xDC00};
    const char16_t reversed[] = {0xDC00, 0xD800};
    EXPECT_EQ(Utf16ToUtf8({lone_high, 3}), "A" + replacement + "B");
    EXPECT_EQ(Utf16ToUtf8({lone_low, 1}), replacement);
    EXPECT_EQ(Utf16ToUtf8({reversed, 2}), replacement + replacement);
}

// A record with a description set, made current on this thread.
void SetCurrentError(const char16_t* description)
{
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    ASSERT_EQ(create->SetDescription(description), S_OK);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    create->Release();
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    EXPECT_EQ(info->Release(), 1); // the thread holds the other reference
}

TEST(OleAutoTest, GetErrorInfoHandsOverAndClearsTheRecord)
{
    SetCurrentError(u"disk full");
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    ASSERT_NE(info, nullptr);
    WideString description;
    ASSERT_EQ(info->GetDescription(description.Out()), S_OK);
    EXPECT_EQ(description.Utf8(), "disk full");
    EXPECT_EQ(info->Release(), 0); // the caller had the only reference

    IErrorInfo* again = reinterpret_cast<IErrorInfo*>(&info);
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
    EXPECT_EQ(again, nullptr);

    SetCurrentError(u"old");
    EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK); // clearing releases the record
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
}

TEST(OleAutoTest, ErrorRecordsBelongToTheirThread)
{
    SetCurrentError(u"main thread");
    HRESULT seen = S_OK;
    std::string otherText;
    std::thread other([&] {
        IErrorInfo* info = nullptr;
        seen = GetErrorInfo(0, &info); // nothing was set on this thread
        SetCurrentError(u"worker");
        IErrorInfo* own = nullptr;
        if (GetErrorInfo(0, &own) == S_OK) {
            WideString d;
            own->GetDescription(d.Out());
            otherText = d.Utf8();
            own->Release();
        }
    });
    other.join();
    EXPECT_EQ(seen, S_FALSE);
    EXPECT_EQ(otherText, "worker");

    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    WideString d;
    info->GetDescription(d.Out());
    EXPECT_EQ(d.Utf8(), "main thread"); // untouched by the worker
    info->Release();
}

} // namespace
