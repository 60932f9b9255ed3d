// A battle of hundreds of turns uses no more memory at its end than early
// on: every message, built or not, and every redraw gives back what it takes.

#include <malloc.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "battle_fixture.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RPG_HEAP_FROM_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define RPG_HEAP_FROM_SANITIZER 1
#endif
#ifdef RPG_HEAP_FROM_SANITIZER
#include <sanitizer/allocator_interface.h>
#endif

namespace rpg::testing {
namespace {

// Bytes of heap in use now.
std::size_t heap_in_use() {
#ifdef RPG_HEAP_FROM_SANITIZER
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// A player who presses the opening keys and then Enter, for ever, each time
// the game waits for a key; no key is ever waiting during an animation, so
// every message is typed out in full.
class EndlessPlayer : public MemoryConsole {
public:
    EndlessPlayer(std::vector<int> opening, std::function<void()> before_each_key)
        : opening_(std::move(opening)), before_each_key_(std::move(before_each_key)) {}

    bool key_waiting() override { return false; }
    int read_key() override {
        before_each_key_();
        if (next_ < opening_.size()) return opening_[next_++];
        return key_enter;
    }

private:
    std::vector<int> opening_;
    std::size_t next_ = 0;
    std::function<void()> before_each_key_;
};

struct LongBattle {
    const char* name;
    std::vector<int> opening;  // the keys that lead to the turn repeated by Enter
    void (*prepare)(GameRecords&);
};

// Both sides' turns: every turn counts the hero's action and each pawn's attack.
constexpr int counts_per_turn = 4;
constexpr int early_turns = 100;
constexpr int late_turns = 4 * early_turns;

void PrintTo(const LongBattle& l, std::ostream* os) { *os << l.name; }

class LongBattleMemory : public ::testing::TestWithParam<LongBattle> {};

TEST_P(LongBattleMemory, HeapDoesNotGrowOverHundredsOfTurns) {
    std::optional<std::size_t> early;
    std::optional<std::size_t> late;
    Battle* battle = nullptr;
    EndlessPlayer con(GetParam().opening, [&] {
        const int turns = battle->state.turn_count / counts_per_turn;
        if (!early && turns >= early_turns) early = heap_in_use();
        if (!late && turns >= late_turns) {
            late = heap_in_use();
            throw InputClosed("enough turns");
        }
    });
    Battle b{con};
    battle = &b;
    make_records(b.rec);
    // The pawns' speed of 0 never beats the hero's in the evade roll: they
    // always miss, and the hero's blows always land.
    b.rec.enemies[kind_pawn].speed = 0;
    GetParam().prepare(b.rec);
    set_up_encounter(b, 4242);
    draw_battle_screen(b);

    EXPECT_THROW(command_loop(b), InputClosed) << "the battle ended after " << b.state.turn_count << " counts";
    ASSERT_TRUE(early && late);
    EXPECT_GT(*early, 0u);
    const long long growth = static_cast<long long>(*late) - static_cast<long long>(*early);
    EXPECT_LE(growth, 4096) << "the heap grew by " << growth << " bytes from turn " << early_turns << " to turn "
                            << late_turns;
    EXPECT_GT(b.rec.hero.hp, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Turns, LongBattleMemory,
    ::testing::Values(LongBattle{"Defending", {key_arrow_prefix, key_down}, [](GameRecords&) {}},
                      LongBattle{"DrinkingPotions",
                                 {key_arrow_prefix, key_down, key_arrow_prefix, key_down, key_enter},
                                 [](GameRecords& rec) { rec.hero.items[item_potion].count = 60000; }},
                      LongBattle{
                          "FightingPawnsThatNeverFall",
                          {key_enter, key_enter},  // fight, the first target; then the first skill again and again
                          [](GameRecords& rec) {
                              EnemyStatus& pawn = rec.enemies[kind_pawn];
                              pawn.max_hp = 32767;
                              pawn.hp.fill(32767);
                          }}),
    [](const ::testing::TestParamInfo<LongBattle>& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace rpg::testing
