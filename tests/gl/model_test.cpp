// Model: importing small COLLADA files written here, the texture cache, node order, missing
// data and broken files.
#include "gfx/model.h"

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gfx_test_files.h"
#include "gl_context.h"

namespace {

// One triangle (or one quad) whose first vertex sits at x = `x`, so a mesh can be recognised
// by its first position.
struct GeometrySpec {
  std::string id;
  float x = 0.0f;
  bool normals = true;
  bool uvs = true;
  bool quad = false;
};

// A material naming at most one diffuse and one specular image file ("" for none).
struct MaterialSpec {
  std::string id;
  std::string diffuse;
  std::string specular;
};

std::string FloatSource(const std::string& id, const std::vector<float>& values, int stride,
                        const char* params) {
  std::string text;
  for (float v : values) text += std::to_string(v) + " ";
  std::string accessorParams;
  for (const char* p = params; *p; ++p) {
    accessorParams += std::string("<param name=\"") + *p + "\" type=\"float\"/>";
  }
  return "<source id=\"" + id + "\"><float_array id=\"" + id + "-array\" count=\"" +
         std::to_string(values.size()) + "\">" + text + "</float_array><technique_common>" +
         "<accessor source=\"#" + id + "-array\" count=\"" +
         std::to_string(values.size() / stride) + "\" stride=\"" + std::to_string(stride) + "\">" +
         accessorParams + "</accessor></technique_common></source>\n";
}

std::string GeometryXml(const GeometrySpec& g) {
  const float x = g.x;
  std::vector<float> positions = {x, 0, 0, x + 1, 0, 0, x, 1, 0};
  std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
  std::vector<float> uvs = {0.25f, 0.75f, 1.0f, 0.75f, 0.25f, 0.0f};
  if (g.quad) {
    positions.insert(positions.end(), {x + 1, 1, 0});
    normals.insert(normals.end(), {0, 0, 1});
    uvs.insert(uvs.end(), {1.0f, 0.0f});
  }
  std::string xml = "<geometry id=\"" + g.id + "\"><mesh>\n";
  xml += FloatSource(g.id + "-pos", positions, 3, "XYZ");
  if (g.normals) xml += FloatSource(g.id + "-nrm", normals, 3, "XYZ");
  if (g.uvs) xml += FloatSource(g.id + "-uv", uvs, 2, "ST");
  xml += "<vertices id=\"" + g.id + "-vtx\"><input semantic=\"POSITION\" source=\"#" + g.id +
         "-pos\"/></vertices>\n";
  std::string inputs = "<input semantic=\"VERTEX\" source=\"#" + g.id + "-vtx\" offset=\"0\"/>";
  if (g.normals) {
    inputs += "<input semantic=\"NORMAL\" source=\"#" + g.id + "-nrm\" offset=\"0\"/>";
  }
  if (g.uvs) {
    inputs += "<input semantic=\"TEXCOORD\" source=\"#" + g.id + "-uv\" offset=\"0\" set=\"0\"/>";
  }
  if (g.quad) {
    xml += "<polylist count=\"1\" material=\"mat\">" + inputs +
           "<vcount>4</vcount><p>0 1 3 2</p></polylist>\n";
  } else {
    xml += "<triangles count=\"1\" material=\"mat\">" + inputs + "<p>0 1 2</p></triangles>\n";
  }
  return xml + "</mesh></geometry>\n";
}

// A node instancing `geometry` (may be empty) bound to `material`, with the given children.
std::string Node(const std::string& id, const std::string& geometry, const std::string& material,
                 const std::string& children = "") {
  std::string xml = "<node id=\"" + id + "\" name=\"" + id + "\">";
  // A transform the loader must ignore: meshes keep their file coordinates.
  xml += "<translate>100 200 300</translate>";
  if (!geometry.empty()) {
    xml += "<instance_geometry url=\"#" + geometry + "\">";
    if (!material.empty()) {
      xml += "<bind_material><technique_common><instance_material symbol=\"mat\" target=\"#" +
             material + "\"/></technique_common></bind_material>";
    }
    xml += "</instance_geometry>";
  }
  return xml + children + "</node>\n";
}

std::string Collada(const std::vector<MaterialSpec>& materials,
                    const std::vector<GeometrySpec>& geometries, const std::string& nodes) {
  std::map<std::string, std::string> imageIds;  // file -> image id
  for (const MaterialSpec& m : materials) {
    for (const std::string& file : {m.diffuse, m.specular}) {
      if (!file.empty() && !imageIds.count(file)) {
        imageIds[file] = "img" + std::to_string(imageIds.size());
      }
    }
  }
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
      "<asset><unit name=\"meter\" meter=\"1\"/><up_axis>Y_UP</up_axis></asset>\n"
      "<library_images>\n";
  for (const auto& [file, id] : imageIds) {
    xml += "<image id=\"" + id + "\"><init_from>" + file + "</init_from></image>\n";
  }
  xml += "</library_images>\n<library_effects>\n";
  for (const MaterialSpec& m : materials) {
    xml += "<effect id=\"" + m.id + "-fx\"><profile_COMMON>";
    std::string phong;
    for (const auto& [channel, file] :
         {std::pair<std::string, std::string>{"diffuse", m.diffuse}, {"specular", m.specular}}) {
      if (file.empty()) continue;
      const std::string surface = m.id + "-" + channel + "-surface";
      const std::string sampler = m.id + "-" + channel + "-sampler";
      xml += "<newparam sid=\"" + surface + "\"><surface type=\"2D\"><init_from>" + imageIds[file] +
             "</init_from></surface></newparam>";
      xml += "<newparam sid=\"" + sampler + "\"><sampler2D><source>" + surface +
             "</source></sampler2D></newparam>";
      phong += "<" + channel + "><texture texture=\"" + sampler + "\" texcoord=\"UVSET0\"/></" +
               channel + ">";
    }
    xml += "<technique sid=\"common\"><phong>" + phong + "</phong></technique>";
    xml += "</profile_COMMON></effect>\n";
  }
  xml += "</library_effects>\n<library_materials>\n";
  for (const MaterialSpec& m : materials) {
    xml += "<material id=\"" + m.id + "\"><instance_effect url=\"#" + m.id + "-fx\"/></material>\n";
  }
  xml += "</library_materials>\n<library_geometries>\n";
  for (const GeometrySpec& g : geometries) xml += GeometryXml(g);
  xml += "</library_geometries>\n<library_visual_scenes><visual_scene id=\"scene\">\n" + nodes +
         "</visual_scene></library_visual_scenes>\n"
         "<scene><instance_visual_scene url=\"#scene\"/></scene>\n</COLLADA>\n";
  return xml;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Loads a model, returning what it printed.
std::string LoadCapturing(Model& model, const std::string& path) {
  return CaptureStdout([&] { model = Model(path.c_str()); });
}

std::vector<float> FirstXs(const Model& model) {
  std::vector<float> xs;
  for (const Mesh& mesh : model.meshes) xs.push_back(mesh.vertices.at(0).position.x);
  return xs;
}

std::vector<unsigned char> TexelOf(GLuint id) {
  std::vector<unsigned char> texel(3);
  glBindTexture(GL_TEXTURE_2D, id);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texel.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return texel;
}

}  // namespace

TEST(Model, ConvertsPositionsNormalsFlippedUvsAndTriangulates) {
  ScratchDir dir;
  WriteFile(dir / "m.dae", Collada({}, {{"tri", 2.0f}, {"quad", 5.0f, true, true, true}},
                                   Node("a", "tri", "") + Node("b", "quad", "")));
  Model model;
  EXPECT_EQ(LoadCapturing(model, dir / "m.dae"), "");
  ASSERT_EQ(model.meshes.size(), 2u);
  const Mesh& tri = model.meshes[0];
  ASSERT_EQ(tri.vertices.size(), 3u);
  EXPECT_EQ(tri.indices, (std::vector<unsigned int>{0, 1, 2}));
  // File coordinates, untouched by the node's translation.
  EXPECT_EQ(tri.vertices[1].position, glm::vec3(3.0f, 0.0f, 0.0f));
  EXPECT_EQ(tri.vertices[1].normal, glm::vec3(0.0f, 0.0f, 1.0f));
  // v is flipped on import: 0.75 in the file is 0.25 here.
  EXPECT_EQ(tri.vertices[0].texCoords, glm::vec2(0.25f, 0.25f));
  EXPECT_EQ(tri.vertices[2].texCoords, glm::vec2(0.25f, 1.0f));
  // The quad comes back as two triangles.
  EXPECT_EQ(model.meshes[1].indices.size(), 6u);
  EXPECT_TRUE(tri.textures.empty());
  // GetMeshes is a copy sharing the GL names.
  const std::vector<Mesh> copy = model.GetMeshes();
  ASSERT_EQ(copy.size(), 2u);
  EXPECT_EQ(copy[0].vao, tri.vao);
  EXPECT_EQ(copy[0].vertices.data() == tri.vertices.data(), false);
}

TEST(Model, MeshesFollowTheNodeTreeDepthFirst) {
  // root: a(1) { b(2) { c(3) }, d(4) }, empty { e(5) { f(6) } }, again(1): a mesh that two
  // nodes name is converted once per node.
  const std::string nodes =
      Node("a", "g1", "", Node("b", "g2", "", Node("c", "g3", "")) + Node("d", "g4", "")) +
      Node("empty", "", "", Node("e", "g5", "", Node("f", "g6", ""))) + Node("again", "g1", "");
  std::vector<GeometrySpec> geometries;
  for (int i = 6; i >= 1; --i) geometries.push_back({"g" + std::to_string(i), float(i)});
  ScratchDir dir;
  WriteFile(dir / "tree.dae", Collada({}, geometries, nodes));
  Model model;
  EXPECT_EQ(LoadCapturing(model, dir / "tree.dae"), "");
  EXPECT_EQ(FirstXs(model), (std::vector<float>{1, 2, 3, 4, 5, 6, 1}));
  EXPECT_NE(model.meshes.front().vao, model.meshes.back().vao);
}

TEST(Model, SharedTextureFileIsLoadedOncePerModel) {
  ScratchDir dir;
  WritePng(dir / "models/shared.png", 1, 1, 3, {10, 20, 30});
  WritePng(dir / "models/specular.png", 1, 1, 3, {40, 50, 60});
  const std::string xml = Collada(
      {{"m1", "shared.png", "specular.png"}, {"m2", "shared.png", ""}, {"m3", "", "shared.png"}},
      {{"g1", 1}, {"g2", 2}, {"g3", 3}},
      Node("a", "g1", "m1") + Node("b", "g2", "m2") + Node("c", "g3", "m3"));
  WriteFile(dir / "models/two.dae", xml);
  Model model;
  EXPECT_EQ(LoadCapturing(model, dir / "models/two.dae"), "");
  ASSERT_EQ(model.meshes.size(), 3u);
  EXPECT_EQ(model.directory, dir / "models");

  // Two distinct files: two loads, in the order met (diffuse before specular).
  ASSERT_EQ(model.loadedTextures.size(), 2u);
  EXPECT_STREQ(model.loadedTextures[0].path.C_Str(), "shared.png");
  EXPECT_EQ(model.loadedTextures[0].type, "texture_diffuse");
  EXPECT_STREQ(model.loadedTextures[1].path.C_Str(), "specular.png");
  EXPECT_EQ(model.loadedTextures[1].type, "texture_specular");
  EXPECT_EQ(TexelOf(model.loadedTextures[0].id), (std::vector<unsigned char>{10, 20, 30}));
  EXPECT_EQ(TexelOf(model.loadedTextures[1].id), (std::vector<unsigned char>{40, 50, 60}));

  const std::vector<Texture>& first = model.meshes[0].textures;
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].type, "texture_diffuse");
  EXPECT_EQ(first[1].type, "texture_specular");
  // The second mesh reuses the first texture name.
  ASSERT_EQ(model.meshes[1].textures.size(), 1u);
  EXPECT_EQ(model.meshes[1].textures[0].id, first[0].id);
  // A cache hit copies the whole record: met as specular, it keeps the diffuse type.
  ASSERT_EQ(model.meshes[2].textures.size(), 1u);
  EXPECT_EQ(model.meshes[2].textures[0].id, first[0].id);
  EXPECT_EQ(model.meshes[2].textures[0].type, "texture_diffuse");

  // Another model of the same file loads its own copy.
  Model again;
  LoadCapturing(again, dir / "models/two.dae");
  ASSERT_EQ(again.loadedTextures.size(), 2u);
  EXPECT_NE(again.loadedTextures[0].id, model.loadedTextures[0].id);
}

TEST(Model, MissingUvsAndNormalsBecomeZero) {
  ScratchDir dir;
  GeometrySpec bare{"bare", 1.0f, false, false};
  WriteFile(dir / "bare.dae", Collada({}, {bare}, Node("a", "bare", "")));
  Model model;
  EXPECT_EQ(LoadCapturing(model, dir / "bare.dae"), "");
  ASSERT_EQ(model.meshes.size(), 1u);
  for (const Vertex& v : model.meshes[0].vertices) {
    EXPECT_EQ(v.texCoords, glm::vec2(0.0f));
    EXPECT_EQ(v.normal, glm::vec3(0.0f));
  }
  EXPECT_EQ(model.meshes[0].vertices[1].position, glm::vec3(2.0f, 0.0f, 0.0f));
}

TEST(Model, MissingTextureFileLoadsWithTheFallbackTexel) {
  ScratchDir dir;
  WriteFile(dir / "m.dae", Collada({{"m", "nowhere.png", ""}}, {{"g", 1}}, Node("a", "g", "m")));
  Model model;
  EXPECT_EQ(LoadCapturing(model, dir / "m.dae"), "");
  ASSERT_EQ(model.meshes.size(), 1u);
  ASSERT_EQ(model.meshes[0].textures.size(), 1u);
  EXPECT_TRUE(glIsTexture(model.meshes[0].textures[0].id));
  EXPECT_EQ(TexelOf(model.meshes[0].textures[0].id), (std::vector<unsigned char>{255, 0, 255}));
}

TEST(Model, DirectoryIsThePathUpToItsLastSlash) {
  ScratchDir dir;
  WritePng(dir / "duck/t.png", 1, 1, 3, {1, 2, 3});
  WriteFile(dir / "duck/duck.dae", Collada({{"m", "t.png", ""}}, {{"g", 1}}, Node("a", "g", "m")));
  ScopedWorkingDir inside(dir.Path());
  struct Case {
    const char* path;
    const char* directory;
    std::vector<unsigned char> texel;
  };
  const Case cases[] = {
      {"duck/duck.dae", "duck", {1, 2, 3}},
      {"./duck/duck.dae", "./duck", {1, 2, 3}},
      {"duck//duck.dae", "duck/", {1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Model model;
    EXPECT_EQ(LoadCapturing(model, c.path), "");
    EXPECT_EQ(model.directory, c.directory);
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(TexelOf(model.meshes[0].textures.at(0).id), c.texel);
  }
  // Without any '/', the whole path is the directory, so the texture is not found there.
  ScopedWorkingDir duck(dir / "duck");
  Model model;
  EXPECT_EQ(LoadCapturing(model, "duck.dae"), "");
  EXPECT_EQ(model.directory, "duck.dae");
  EXPECT_EQ(TexelOf(model.meshes.at(0).textures.at(0).id),
            (std::vector<unsigned char>{255, 0, 255}));
}

TEST(Model, UnreadableFilesPrintTheImporterMessageAndLeaveAnEmptyDrawableModel) {
  ScratchDir dir;
  const std::string good = Collada({{"m", "t.png", ""}}, {{"g", 1}}, Node("a", "g", "m"));
  struct Case {
    const char* name;
    std::optional<std::string> contents;  // nullopt: no file
  };
  const char rawBinary[] = "\0\x01\x02\xff\xfe garbage \0\0 more";
  const std::string binary(rawBinary, sizeof(rawBinary) - 1);
  const std::vector<Case> cases = {
      {"missing", std::nullopt},
      {"empty", std::string()},
      {"binary garbage", binary},
      {"truncated", good.substr(0, good.size() / 2)},
      {"not COLLADA", std::string("<?xml version=\"1.0\"?><html><body/></html>")},
      {"index past the vertex list", Replace(good, "<p>0 1 2</p>", "<p>0 1 7</p>")},
      // Imports, but as a scene flagged incomplete (it has no meshes).
      {"nodes without meshes", Collada({}, {}, Node("a", "", ""))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / (std::string(c.name) + ".dae");
    if (c.contents) WriteFile(path, *c.contents);
    // The importer's own message for the same file.
    Assimp::Importer importer;
    importer.ReadFile(path, 0);
    const std::string expected = std::string("ERROR::ASSIMP:: ") + importer.GetErrorString() + "\n";

    Model model;
    EXPECT_EQ(LoadCapturing(model, path), expected);
    EXPECT_TRUE(model.meshes.empty());
    EXPECT_TRUE(model.directory.empty());
    EXPECT_TRUE(model.GetMeshes().empty());
    model.Draw(Shader());
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
