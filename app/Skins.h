#pragma once
// The twenty skins: named styles (a style sheet and a palette each) applied to the whole
// program. The choice is kept in Company_Info.ini, section Create_Skin.

#include <QColor>
#include <QString>

#include <string>
#include <vector>

namespace smsc {

inline constexpr int kSkinCount = 20;
// "清新海风" is not offered in the menu; only the settings file selects it.
inline constexpr int kSkinNotInMenu = 15;

QString SkinName(int index);  // empty outside 0..19
// The indexes the "更换风格" menu offers, in menu order (19 entries).
const std::vector<int>& SkinMenuIndexes();
QString SkinStyleSheet(int index);  // empty outside 0..19

// What the skin draws on what: every text colour on each background it stands on (gradients
// sampled between their stops), and the borders and selections that must stand out, each
// with the contrast ratio it needs (4.5 for text, 3 for the rest).
struct SkinColourPair {
    const char* what;
    QColor foreground;
    QColor background;
    double minimumContrast;
};
std::vector<SkinColourPair> SkinColourPairs(int index);  // empty outside 0..19

// Applies the skin to the application; an index outside 0..19 is ignored (false), the skin
// in use is left as it is (true).
bool ApplySkin(int index);
// The skin applied last; -1 before any.
int CurrentSkin();

// Writes Skin_index and Skin_name of the skin into Create_Skin of the settings file (read
// afresh, other keys kept) and saves it. False when the save failed or the index is invalid.
bool StoreSkinChoice(const std::string& companyInfoPath, int index);

}  // namespace smsc
