// SamplerName: the per-type numbering Mesh::Draw gives its material textures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/mesh.h"

TEST(SamplerName, NumbersEachTypeFromOneInListOrder) {
  struct Case {
    const char* name;
    std::vector<std::string> types;
    std::vector<std::string> samplers;
  };
  const Case cases[] = {
      {"two diffuse then one specular",
       {"texture_diffuse", "texture_diffuse", "texture_specular"},
       {"texture_diffuse1", "texture_diffuse2", "texture_specular1"}},
      {"only specular", {"texture_specular"}, {"texture_specular1"}},
      {"interleaved: the type decides",
       {"texture_diffuse", "texture_specular", "texture_diffuse", "texture_specular"},
       {"texture_diffuse1", "texture_specular1", "texture_diffuse2", "texture_specular2"}},
      {"unknown and near-miss types get no number and use no counter",
       {"texture_normal", "Texture_diffuse", "texture_diffuse ", "", "texture_diffuse"},
       {"texture_normal", "Texture_diffuse", "texture_diffuse ", "", "texture_diffuse1"}},
      {"past nine",
       std::vector<std::string>(11, "texture_diffuse"),
       {"texture_diffuse1", "texture_diffuse2", "texture_diffuse3", "texture_diffuse4",
        "texture_diffuse5", "texture_diffuse6", "texture_diffuse7", "texture_diffuse8",
        "texture_diffuse9", "texture_diffuse10", "texture_diffuse11"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned diffuse = 1, specular = 1;
    SamplerNameBuffer buffer;
    std::vector<std::string> names;
    for (const std::string& type : c.types) {
      names.push_back(SamplerName(type, diffuse, specular, buffer));
    }
    EXPECT_EQ(names, c.samplers);
  }
}
