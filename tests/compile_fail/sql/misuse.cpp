// Misuse of the typed SQL layer that must not compile. Each numbered case is compiled on its own by a
// test that expects the compiler to refuse it; case 0 holds the valid counterparts and must compile,
// so a broken include or a typo cannot make the failing cases pass by accident.

#include "sql/Query.h"

#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

void misuse()
{
    const Table users("users");
    const Expression<std::int64_t> age("age");
    const Expression<std::optional<std::int64_t>> parent("parent");
    const Expression<std::string> name("name");
    const Expression<double> width("width");
    const Expression<Blob> image("image");
    const Expression<bool> folded("folded");
    const std::optional<std::int64_t> maybe = 3;

#if VQ_CASE == 0
    (void)set(parent, maybe);
    (void)set(parent, age);
    (void)set(age, 3);
    (void)(parent == maybe);
    (void)(age == 3);
    (void)(age < 3);
    (void)(image == Blob{});
    (void)(name + "x");
    (void)(age % 2);
    (void)users.filter(folded);
    (void)addAssign(parent, age);
    (void)(folded && true);
    (void)increment(age);
    (void)concatAssign(name, "x");
    (void)inRange(UpTo{5}, age);
    (void)users.join(users, age == parent);
    (void)(-width);
    (void)(~age);
#elif VQ_CASE == 1
    // A non-optional column cannot take an optional value.
    (void)set(age, maybe);
#elif VQ_CASE == 2
    // ... nor an expression of an optional type.
    (void)set(age, parent);
#elif VQ_CASE == 3
    // A non-optional expression compares with a plain value only.
    (void)(age == maybe);
#elif VQ_CASE == 4
    // Both operands share one value type.
    (void)(age == name);
#elif VQ_CASE == 5
    (void)(age < "x");
#elif VQ_CASE == 6
    // Blobs are not ordered.
    (void)(image < Blob{});
#elif VQ_CASE == 7
    // No subtraction on text.
    (void)(name - "x");
#elif VQ_CASE == 8
    // Integer operators need an integer storage type.
    (void)(width % 2.0);
#elif VQ_CASE == 9
    // A filter is a condition.
    (void)users.filter(age);
#elif VQ_CASE == 10
    // A compound assignment follows the optionality rule of set().
    (void)addAssign(age, parent);
#elif VQ_CASE == 11
    // AND needs conditions.
    (void)(age && age);
#elif VQ_CASE == 12
    (void)increment(width);
#elif VQ_CASE == 13
    (void)concatAssign(age, 1);
#elif VQ_CASE == 14
    // An ordering comparison takes a plain value, never an absent one.
    (void)(parent > std::nullopt);
#elif VQ_CASE == 15
    // One-sided ranges are offered for non-optional expressions only.
    (void)inRange(UpTo{5}, parent);
#elif VQ_CASE == 16
    // A join condition is a condition.
    (void)users.join(users, age);
#elif VQ_CASE == 17
    (void)(-name);
#elif VQ_CASE == 18
    (void)(~width);
#elif VQ_CASE == 19
    // float is no value type of the layer.
    (void)value(1.5f);
#elif VQ_CASE == 20
    // Untyped fragments cannot be compared or assigned as if they were typed.
    (void)(Expression<void>("a") == 1);
#elif VQ_CASE == 21
    (void)set(Expression<void>("a"), 1);
#elif VQ_CASE == 22
    // NOT needs a condition.
    (void)(!age);
#else
#error "unknown case"
#endif
}
