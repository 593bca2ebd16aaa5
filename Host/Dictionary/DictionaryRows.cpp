#include "Host/Dictionary/DictionaryRows.h"

#include "Platform/JetSql/JetSql.h"
#include "Platform/SysUtils/SysUtils.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

// WAE-only entities and the DXCC entity (its primary prefix) they belong to.
const std::map<std::string, std::string>& WaeParents()
{
    static const std::map<std::string, std::string> parents = {
        {"4U1V", "OE"}, {"GM/s", "GM"}, {"IG9", "I"}, {"IT9", "I"}, {"JW/b", "JW"}, {"TA1", "TA"},
    };
    return parents;
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EFOpenError("Cannot open '" + file.string() + "'");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What a prefix or exact call gives, before it becomes a row.
struct TTarget {
    std::size_t Entity = 0; // index in file order
    std::string Continent;
    int CqZone = 0, ItuZone = 0;
    bool operator==(const TTarget&) const = default;
};

} // namespace

std::string TDictionaryRow::Expression() const
{
    std::string e;
    if (Literals.size() == 1) {
        e = Literals.front();
    } else {
        e = "(?:";
        for (std::size_t i = 0; i < Literals.size(); ++i)
            e += (i ? "|" : "") + Literals[i];
        e += ")";
    }
    return Exact ? e : e + "[A-Z0-9/]*";
}

TDictionaryRows ConvertCtyDat(const std::vector<TCtyEntity>& entities, const std::map<std::string, int>& codes)
{
    struct TInfo {
        std::string Arrl, Main;
        int Code = 0;
    };
    std::vector<TInfo> info(entities.size());
    std::vector<std::string> missing;
    std::map<std::string, std::size_t> byPrimary;
    for (std::size_t i = 0; i < entities.size(); ++i)
        if (!entities[i].WaeOnly) byPrimary.emplace(entities[i].PrimaryPrefix, i);
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const TCtyEntity& e = entities[i];
        info[i].Main = e.PrimaryPrefix;
        info[i].Arrl = e.PrimaryPrefix;
        if (e.WaeOnly) {
            auto parent = WaeParents().find(e.PrimaryPrefix);
            if (parent == WaeParents().end() || !byPrimary.count(parent->second)) {
                missing.push_back(e.Name + " (*" + e.PrimaryPrefix + ", WAE only: no DXCC parent known)");
                continue;
            }
            info[i].Arrl = parent->second;
        }
        auto code = codes.find(info[i].Arrl);
        if (code == codes.end()) {
            missing.push_back(e.Name + " (" + info[i].Arrl + ")");
            continue;
        }
        info[i].Code = code->second;
    }
    if (!missing.empty()) {
        std::string list;
        for (const auto& m : missing)
            list += (list.empty() ? "" : ", ") + m;
        throw EConvertError("No DXCC entity code for: " + list);
    }

    TDictionaryRows rows;
    rows.Entities = entities.size();
    auto targetOf = [&](std::size_t i, const TCtyItem& item) {
        const TCtyEntity& e = entities[i];
        return TTarget{i, item.Continent.value_or(e.Continent), item.CqZone.value_or(e.CqZone),
                       item.ItuZone.value_or(e.ItuZone)};
    };
    auto rowOf = [&](const TTarget& t, std::vector<std::string> literals, bool exact) {
        return TDictionaryRow{std::move(literals), exact,       info[t.Entity].Arrl,
                              info[t.Entity].Main, t.Continent, info[t.Entity].Code,
                              t.ItuZone,           t.CqZone};
    };
    auto describe = [&](const TTarget& t) { return entities[t.Entity].Name; };

    // Exact calls: each once. A WAE-only entity's entry is the more specific
    // one where its parent lists the same call; otherwise the first stays.
    std::vector<std::pair<std::string, TTarget>> exact;
    std::unordered_map<std::string, std::size_t> exactIndex;
    // Prefixes in file order, each once.
    std::vector<std::pair<std::string, TTarget>> prefixes;
    std::unordered_map<std::string, std::size_t> prefixIndex;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        rows.EntityNames.emplace(info[i].Main, entities[i].Name);
        for (const TCtyItem& item : entities[i].Items) {
            const TTarget target = targetOf(i, item);
            auto& list = item.Exact ? exact : prefixes;
            auto& index = item.Exact ? exactIndex : prefixIndex;
            auto [it, added] = index.emplace(item.Text, list.size());
            if (added) {
                list.emplace_back(item.Text, target);
                continue;
            }
            TTarget& kept = list[it->second].second;
            if (kept == target) continue;
            if (item.Exact && entities[i].WaeOnly && info[kept.Entity].Code == info[i].Code &&
                !entities[kept.Entity].WaeOnly) {
                kept = target;
                continue;
            }
            if (item.Exact && entities[kept.Entity].WaeOnly && info[kept.Entity].Code == info[i].Code) continue;
            rows.Warnings.push_back(std::string(item.Exact ? "Exact call " : "Prefix ") + item.Text +
                                    " is listed for " + describe(kept) + " and for " + describe(target) +
                                    "; the first is kept");
        }
    }
    rows.ExactCalls = exact.size();
    rows.Prefixes = prefixes.size();
    for (const auto& [call, target] : exact)
        rows.UniqueCalls.push_back(rowOf(target, {call}, true));

    // Prefixes with data of their own go to PROVINCE, and so do the plain
    // prefixes that start with one of them.
    auto special = [&](const std::pair<std::string, TTarget>& p) {
        const TCtyEntity& e = entities[p.second.Entity];
        return e.WaeOnly || p.second.Continent != e.Continent || p.second.CqZone != e.CqZone ||
               p.second.ItuZone != e.ItuZone;
    };
    std::unordered_set<std::string> specialPrefixes;
    for (const auto& p : prefixes)
        if (special(p)) specialPrefixes.insert(p.first);
    auto shadowed = [&](const std::string& prefix) {
        for (std::size_t n = 1; n < prefix.size(); ++n)
            if (specialPrefixes.count(prefix.substr(0, n))) return true;
        return false;
    };

    // Groups of one length, one target; longest first, then file order.
    struct TGroup {
        std::size_t Length;
        std::size_t First; // position of its first prefix in file order
        TTarget Target;
        std::vector<std::string> Literals;
    };
    auto build = [&](bool province) {
        std::vector<TGroup> groups;
        std::map<std::tuple<std::size_t, std::size_t, std::string, int, int>, std::size_t> byKey;
        for (std::size_t k = 0; k < prefixes.size(); ++k) {
            const auto& [prefix, target] = prefixes[k];
            const bool inProvince = specialPrefixes.count(prefix) || shadowed(prefix);
            if (inProvince != province) continue;
            auto key = std::make_tuple(prefix.size(), target.Entity, target.Continent, target.CqZone, target.ItuZone);
            auto [it, added] = byKey.emplace(key, groups.size());
            if (added) groups.push_back(TGroup{prefix.size(), k, target, {}});
            groups[it->second].Literals.push_back(prefix);
        }
        std::stable_sort(groups.begin(), groups.end(), [](const TGroup& a, const TGroup& b) {
            return a.Length != b.Length ? a.Length > b.Length : a.First < b.First;
        });
        std::vector<TDictionaryRow> out;
        for (auto& g : groups)
            out.push_back(rowOf(g.Target, std::move(g.Literals), false));
        return out;
    };
    rows.Provinces = build(true);
    rows.Countries = build(false);
    return rows;
}

fs::path EntityCodesBeside(const fs::path& ctyFile)
{
    return ctyFile.parent_path() / "prefix_to_entitycode.csv";
}

TDictionaryRows LoadCountryData(const fs::path& ctyFile, const fs::path& codesFile)
{
    const std::string cty = ReadText(ctyFile);
    const std::string codes = ReadText(codesFile);
    return ConvertCtyDat(ParseCtyDat(cty, ctyFile.string()), ParseEntityCodes(codes, codesFile.string()));
}

std::vector<std::string> DictionaryInsertStatements(const TDictionaryRows& rows)
{
    std::vector<std::string> out;
    out.reserve(rows.Countries.size() + rows.Provinces.size() + rows.UniqueCalls.size());
    int id = 0;
    for (const auto& r : rows.Countries)
        out.push_back("INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(" +
                      std::to_string(++id) + "," + QuotedStr(r.Expression()) + "," + QuotedStr(r.ArrlPrefix) + "," +
                      QuotedStr(r.Continent) + ",'" + std::to_string(r.Dxcc) + "','" + std::to_string(r.ItuZone) +
                      "','" + std::to_string(r.CqZone) + "')");
    id = 0;
    for (const auto& r : rows.Provinces)
        out.push_back("INSERT INTO PROVINCE(ID,PREFIXLIST,ARRLPREFIX,PREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(" +
                      std::to_string(++id) + "," + QuotedStr(r.Expression()) + "," + QuotedStr(r.ArrlPrefix) + "," +
                      QuotedStr(r.Prefix) + "," + QuotedStr(r.Continent) + "," + std::to_string(r.Dxcc) + ",'" +
                      std::to_string(r.ItuZone) + "','" + std::to_string(r.CqZone) + "')");
    id = 0;
    for (const auto& r : rows.UniqueCalls)
        out.push_back("INSERT INTO UNIQUECALL(ID,CALLSIGN,ARRLPREFIX,PREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(" +
                      std::to_string(++id) + "," + QuotedStr(r.Expression()) + "," + QuotedStr(r.ArrlPrefix) + "," +
                      QuotedStr(r.Prefix) + "," + QuotedStr(r.Continent) + "," + std::to_string(r.Dxcc) + "," +
                      std::to_string(r.ItuZone) + "," + std::to_string(r.CqZone) + ")");
    return out;
}
