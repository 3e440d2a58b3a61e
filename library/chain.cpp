// A book's pages in chain order. The order is worked out from the pages'
// addresses, next links and keys alone; the texts are read one at a time
// while the walk runs, so a long book never sits in memory whole.

#include <unordered_map>

#include "library/connection.h"

namespace novel {
namespace {

struct Link {
    std::int64_t id = 0;
    std::string address;
    std::string next_link;
};

// An id, or a gap before the missing address (id 0).
struct Step {
    std::int64_t id = 0;
    std::string missing;
};

// A dangling next link is a gap only when more of the book follows it, and
// only when it names a page of the book: the last page's link to the
// chapter not yet fetched, or back to the book's folder, is its end.
bool names_page_of(std::string_view link, std::string_view book_number) {
    const auto address = parse_page_address(link);
    return address && address->book_number == book_number;
}

std::vector<Step> chain_order(const std::vector<Link>& links, std::string_view book_number) {
    std::unordered_map<std::string_view, std::size_t> by_address;
    for (std::size_t i = 0; i < links.size(); ++i) by_address.emplace(links[i].address, i);
    std::vector<bool> linked(links.size(), false);
    for (std::size_t i = 0; i < links.size(); ++i) {
        const auto target = by_address.find(links[i].next_link);
        if (target != by_address.end() && target->second != i) linked[target->second] = true;
    }
    // Heads in key order, then whatever no head reaches (cycles), also in key order.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (!linked[i]) starts.push_back(i);
    }
    const std::size_t heads = starts.size();
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (linked[i]) starts.push_back(i);
    }

    std::vector<bool> visited(links.size(), false);
    std::vector<Step> order;
    std::size_t placed = 0;
    for (std::size_t s = 0; s < starts.size(); ++s) {
        std::size_t at = starts[s];
        if (visited[at]) continue;
        while (true) {
            visited[at] = true;
            ++placed;
            order.push_back({.id = links[at].id});
            const auto next = by_address.find(links[at].next_link);
            if (next != by_address.end()) {
                if (visited[next->second]) break;
                at = next->second;
                continue;
            }
            const bool more_follows = placed < links.size();
            if (more_follows && s < heads && names_page_of(links[at].next_link, book_number)) {
                order.push_back({.missing = links[at].next_link});
            }
            break;
        }
    }
    return order;
}

}  // namespace

Chain Library::chain(std::string_view book_number) const {
    Chain chain;
    const BookLookup facts = book(book_number);
    if (!facts.status.ok()) return {.status = facts.status};
    if (facts.found) chain.book = *facts.found;

    std::vector<Link> links;
    {
        sqlite::Status status;
        sqlite3_stmt* rows = connection_->statement(
            "SELECT id, address, next_link FROM pages WHERE book = ? "
            "ORDER BY chapter_number IS NULL, chapter_number, part, chapter_key",
            &status);
        if (rows == nullptr) return {.status = library_status(status)};
        const sqlite::StatementUse use(rows);
        sqlite::bind_text(rows, 1, book_number);
        while ((status = sqlite::status_of(connection_->db.get(), sqlite3_step(rows))).code ==
               SQLITE_ROW) {
            links.push_back({.id = sqlite::column_int(rows, 0),
                             .address = sqlite::column_bytes(rows, 1),
                             .next_link = sqlite::column_bytes(rows, 2)});
        }
        if (!status.ok()) return {.status = library_status(status)};
    }
    std::vector<Step> order = chain_order(links, book_number);
    links = {};
    chain.pages = 0;
    for (const Step& step : order) {
        if (step.id == 0) {
            chain.gaps.push_back(step.missing);
        } else {
            ++chain.pages;
        }
    }

    auto walk_status = std::make_shared<LibraryStatus>();
    chain.walk_status = walk_status;
    Connection* connection = connection_.get();
    chain.walk = [connection, walk_status, order = std::move(order)](const ChainVisitor& visit) {
        *walk_status = {};
        for (const Step& step : order) {
            if (step.id == 0) {
                if (!visit(ChainGap{.missing_address = step.missing})) return;
                continue;
            }
            sqlite::Status status;
            sqlite3_stmt* find = connection->statement(
                "SELECT address, chapter_key, title, text, next_link, fetched_at FROM pages "
                "WHERE id = ?",
                &status);
            if (find == nullptr) {
                *walk_status = library_status(status);
                return;
            }
            ChainPage page;
            {
                const sqlite::StatementUse use(find);
                sqlite::bind(find, 1, step.id);
                status = sqlite::status_of(connection->db.get(), sqlite3_step(find));
                if (status.code != SQLITE_ROW) {
                    // Removed since the order was made: a failure, not a silent skip.
                    *walk_status = status.ok() ? LibraryStatus{.error = LibraryError::other,
                                                               .message = "a page went missing"}
                                               : library_status(status);
                    return;
                }
                page = {.address = sqlite::column_bytes(find, 0),
                        .chapter_key = sqlite::column_bytes(find, 1),
                        .title = sqlite::column_bytes(find, 2),
                        .text = sqlite::column_bytes(find, 3),
                        .next_link = sqlite::column_bytes(find, 4),
                        .fetched_at = sqlite::column_int(find, 5)};
            }
            if (!visit(page)) return;
        }
    };
    return chain;
}

}  // namespace novel
